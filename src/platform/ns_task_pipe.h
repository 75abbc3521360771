// NSTask with an NSPipe on its standard output: runs a command-line tool and
// collects what it prints.
#ifndef OSXNATIVES_PLATFORM_NS_TASK_PIPE_H_
#define OSXNATIVES_PLATFORM_NS_TASK_PIPE_H_

#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace osxnatives::platform {

class PipedTask {
 public:
  virtual ~PipedTask() = default;
  // Starts `executable` (an absolute path, no shell, no search of PATH) with
  // `arguments`, its standard output connected to a new pipe and its standard
  // input and error inherited (`launchAndReturnError:`), then reads the pipe
  // until end of file (`readDataToEndOfFile`). Returns the bytes read, or
  // nullopt when the child could not be started. Blocks the calling thread
  // until the child has closed its output; the finished child is always
  // collected, so none is ever left behind. Its exit status is not reported.
  // Thread-safe.
  virtual std::optional<std::string> LaunchAndReadToEndOfFile(
      const std::string& executable, const std::vector<std::string>& arguments) = 0;
};

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_NS_TASK_PIPE_H_
