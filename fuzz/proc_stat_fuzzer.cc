// The /proc/<pid>/stat line parser, twice: the bytes as a line (a refused line
// leaves the record alone; an accepted one gives a terminated command name),
// and as the fields of a line the kernel could write, which must parse back.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "check.h"
#include "platform/linux/proc_stat.h"

using osxnatives::platform::kCommandNameSize;
using osxnatives::platform::KinfoProc;
using osxnatives::platform::ParseProcStatLine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  KinfoProc record;
  record.p_comm.fill('x');
  if (ParseProcStatLine(std::string_view(reinterpret_cast<const char*>(data), size), 7, record)) {
    Check(std::memchr(record.p_comm.data(), '\0', kCommandNameSize) != nullptr,
          "command name not terminated");
  } else {
    Check(record.p_comm[0] == 'x', "a refused line changed the record");
  }

  // Four bytes of parent id, one choosing the state, the rest the command
  // name (without NUL, which the kernel never writes there).
  if (size < 5) return 0;
  int32_t ppid = 0;
  std::memcpy(&ppid, data, sizeof ppid);
  const char state = "RSDZTtWXxKPI"[data[4] % 12];
  const std::string comm(reinterpret_cast<const char*>(data) + 5, size - 5);
  if (comm.find('\0') != std::string::npos || comm.size() > 64) return 0;
  KinfoProc parsed;
  Check(ParseProcStatLine("4242 (" + comm + ") " + state + " " + std::to_string(ppid) +
                              " 4242 4242 0 -1 4194560\n",
                          4242, parsed),
        "a line the kernel writes was refused");
  Check(parsed.e_ppid == ppid, "wrong parent id");
  Check(parsed.p_comm.data() == comm.substr(0, kCommandNameSize - 1), "wrong command name");
  return 0;
}
