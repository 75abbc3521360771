// NSTask with a pipe on Linux: posix_spawn of the given path, its standard
// output read through a pipe to end of file, then the child collected.
#ifndef OSXNATIVES_PLATFORM_LINUX_PIPED_TASK_H_
#define OSXNATIVES_PLATFORM_LINUX_PIPED_TASK_H_

#include "platform/ns_task_pipe.h"

namespace osxnatives::platform::os {

class PosixPipedTask : public PipedTask {
 public:
  // The child starts with no signal blocked and every signal at its default
  // action, so the calling thread's mask (the JVM blocks some signals) does
  // not leak into the tool. The pipe is close-on-exec in this process, so a
  // child started meanwhile by another thread cannot hold it open.
  std::optional<std::string> LaunchAndReadToEndOfFile(
      const std::string& executable, const std::vector<std::string>& arguments) override;
};

}  // namespace osxnatives::platform::os

#endif  // OSXNATIVES_PLATFORM_LINUX_PIPED_TASK_H_
