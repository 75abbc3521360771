#include "platform/linux/proc_stat.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace osxnatives::platform {

bool ParseProcStatLine(std::string_view line, int32_t pid, KinfoProc& record) {
  const size_t open = line.find('(');
  const size_t close = line.rfind(')');
  if (open == std::string_view::npos || close == std::string_view::npos || close < open) {
    return false;
  }
  // ") S ppid"
  const std::string_view rest = line.substr(close + 1);
  if (rest.size() < 3 || rest[0] != ' ' || rest[1] == '\0' || rest[2] != ' ') {
    return false;
  }
  const std::string_view digits = rest.substr(3);
  int32_t ppid = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), ppid);
  if (error != std::errc() || end == digits.data()) {
    return false;
  }

  record = KinfoProc{};
  record.p_pid = pid;
  record.e_ppid = ppid;
  const size_t name_length = std::min(close - open - 1, kCommandNameSize - 1);
  std::memcpy(record.p_comm.data(), line.data() + open + 1, name_length);
  return true;
}

}  // namespace osxnatives::platform
