// The line of /proc/<pid>/stat: "pid (comm) state ppid ...". The command name
// may hold blanks and parentheses, so it runs from the first '(' to the last
// ')'.
#ifndef OSXNATIVES_PLATFORM_LINUX_PROC_STAT_H_
#define OSXNATIVES_PLATFORM_LINUX_PROC_STAT_H_

#include <cstdint>
#include <string_view>

#include "platform/sysctl.h"

namespace osxnatives::platform {

// Fills `record` from `line` (the file's first bytes; a line cut short after
// the parent id is fine): `p_pid` is `pid`, `e_ppid` the number after the
// state letter, `p_comm` the command name cut to fit with its NUL. Returns
// false, leaving `record` as it was, when the line has no such shape or the
// parent id is not a 32-bit decimal number.
bool ParseProcStatLine(std::string_view line, int32_t pid, KinfoProc& record);

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_LINUX_PROC_STAT_H_
