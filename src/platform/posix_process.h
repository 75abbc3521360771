// The POSIX process calls: kill and getpid.
#ifndef OSXNATIVES_PLATFORM_POSIX_PROCESS_H_
#define OSXNATIVES_PLATFORM_POSIX_PROCESS_H_

#include <cstdint>

#include "platform/registry.h"

namespace osxnatives::platform {

class PosixProcess {
 public:
  virtual ~PosixProcess() = default;

  // `kill(pid, signal)` with the platform's own signal numbers (SIGSTOP,
  // SIGKILL, SIGCONT from <csignal>). Returns 0 when the signal was sent, -1
  // (errno set) otherwise. Backends refuse a pid of 0 or less (EINVAL): such
  // ids name process groups, never one process. Thread-safe.
  virtual int kill(int32_t pid, int signal) = 0;

  // `getpid()`, also `[[NSProcessInfo processInfo] processIdentifier]`.
  virtual int32_t getpid() = 0;
};

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_POSIX_PROCESS_H_
