// libproc: facts about one process, looked up by its id.
#ifndef OSXNATIVES_PLATFORM_LIBPROC_H_
#define OSXNATIVES_PLATFORM_LIBPROC_H_

#include <cstddef>
#include <cstdint>

#include "platform/registry.h"

namespace osxnatives::platform {

// `PROC_PIDPATHINFO_MAXSIZE`.
inline constexpr size_t kProcPidPathInfoMaxSize = 4096;

class LibProc {
 public:
  virtual ~LibProc() = default;

  // `proc_pidpath(pid, buffer, size)`: writes the zero-terminated path of the
  // process's executable into `buffer` (owned by the caller, `size` bytes) and
  // returns its length, or returns 0 or less when the process does not exist
  // or may not be inspected. Thread-safe.
  virtual int proc_pidpath(int32_t pid, char* buffer, uint32_t size) = 0;
};

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_LIBPROC_H_
