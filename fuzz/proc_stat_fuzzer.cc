// Feeds arbitrary bytes to the /proc/<pid>/stat line parser, twice:
// - as the line itself: an accepted line gives a NUL-terminated command name
//   that is a prefix of the text between the first '(' and the last ')';
// - as the fields of a line the kernel could write ("pid (comm) S ppid ..."
//   with any command name, parentheses and blanks included): the parser must
//   accept it and give back the parent id and the name cut to fit.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/linux/proc_stat.h"

namespace {

using osxnatives::platform::kCommandNameSize;
using osxnatives::platform::KinfoProc;
using osxnatives::platform::ParseProcStatLine;

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
  }
}

int32_t Int32(const uint8_t* bytes) {
  uint32_t value = 0;
  std::memcpy(&value, bytes, sizeof value);
  return static_cast<int32_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  KinfoProc record;
  record.p_comm.fill('x');
  if (ParseProcStatLine(line, 7, record)) {
    Check(record.p_pid == 7, "pid not taken as given");
    const char* end =
        static_cast<const char*>(std::memchr(record.p_comm.data(), '\0', kCommandNameSize));
    Check(end != nullptr, "command name not terminated");
    const std::string_view name(record.p_comm.data(),
                                static_cast<size_t>(end - record.p_comm.data()));
    const size_t open = line.find('(');
    const size_t close = line.rfind(')');
    Check(open != std::string_view::npos && close != std::string_view::npos && open < close,
          "accepted a line without a command name");
    Check(line.substr(open + 1, close - open - 1).substr(0, name.size()) == name,
          "command name is not from between the parentheses");
  } else {
    Check(record.p_comm[0] == 'x', "a refused line changed the record");
  }

  // Four bytes of parent id, one byte choosing the state letter, the rest
  // the command name (without NUL, which the kernel never writes there).
  if (size < 5) return 0;
  const int32_t ppid = Int32(data);
  static constexpr char kStates[] = "RSDZTtWXxKPI";
  const char state = kStates[data[4] % (sizeof kStates - 1)];
  std::string comm(reinterpret_cast<const char*>(data) + 5, size - 5);
  if (comm.find('\0') != std::string::npos || comm.size() > 64) return 0;
  const std::string kernel_line =
      "4242 (" + comm + ") " + state + " " + std::to_string(ppid) + " 4242 4242 0 -1 4194560\n";
  KinfoProc parsed;
  Check(ParseProcStatLine(kernel_line, 4242, parsed), "a line the kernel writes was refused");
  Check(parsed.e_ppid == ppid, "wrong parent id");
  Check(std::string(parsed.p_comm.data()) == comm.substr(0, kCommandNameSize - 1),
        "wrong command name");
  return 0;
}
