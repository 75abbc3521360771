// NSTask: runs a program as a child process and waits for it to end.
#ifndef OSXNATIVES_PLATFORM_NS_TASK_H_
#define OSXNATIVES_PLATFORM_NS_TASK_H_

#include <string>
#include <vector>

#include "platform/registry.h"

namespace osxnatives::platform {

struct TaskOutcome {
  // False when the program could not be started; `error` then says why.
  bool launched = false;
  // The child's `terminationStatus`: its exit status, or the number of the
  // signal that ended it.
  int terminationStatus = 0;
  bool terminatedBySignal = false;
  std::string error;
};

class NSTask {
 public:
  virtual ~NSTask() = default;
  // `launchPath`, `arguments`, `launch`, `waitUntilExit`: starts the program
  // with the host's environment and standard input, output and error, and
  // blocks the calling thread until it has exited. The child is always
  // reaped. Thread-safe.
  virtual TaskOutcome launchAndWait(const std::string& launch_path,
                                    const std::vector<std::string>& arguments) = 0;
};

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_NS_TASK_H_
