// NSTask on Linux: posix_spawn of the launch path with the host's environment
// and standard streams, then waitpid until the child has exited.
#include <sys/wait.h>

#include <cstring>

#include "platform/linux/services.h"
#include "platform/ns_task.h"
#include "platform/posix/spawn.h"

namespace osxnatives::platform {
namespace {

class SpawnTask : public NSTask {
 public:
  TaskOutcome launchAndWait(const std::string& launch_path,
                            const std::vector<std::string>& arguments) override {
    TaskOutcome outcome;
    const auto spawned = os::SpawnChild(launch_path, arguments);
    if (const int* error = std::get_if<1>(&spawned)) {
      outcome.error = "cannot launch " + launch_path + ": " + std::strerror(*error);
      return outcome;
    }
    outcome.launched = true;
    const auto waited = os::WaitForChild(std::get<0>(spawned));
    if (waited.index() == 1) {
      // Only when the host ignores SIGCHLD: the kernel reaped the child itself.
      outcome.error =
          std::string("cannot wait for ") + launch_path + ": " + std::strerror(std::get<1>(waited));
      return outcome;
    }
    const int status = std::get<0>(waited);
    if (WIFSIGNALED(status)) {
      outcome.terminatedBySignal = true;
      outcome.terminationStatus = WTERMSIG(status);
    } else {
      outcome.terminationStatus = WEXITSTATUS(status);
    }
    return outcome;
  }
};

}  // namespace

NSTask& LinuxNSTask() {
  static auto* const task = new SpawnTask();
  return *task;
}

}  // namespace osxnatives::platform
