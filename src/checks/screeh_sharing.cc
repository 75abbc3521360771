#include "checks/screeh_sharing.h"

#include "common/host.h"
#include "platform/ns_task_pipe.h"

namespace osxnatives {

int64_t ScreehSharing::checkScreenSharing() {
  std::optional<std::string> output = platform::Get<platform::PipedTask>().LaunchAndReadToEndOfFile(
      kPgrepPath, {kScreenSharingDaemon});
  if (!output) {
    Log("Error running pgrep to detect screen sharing", "ERROR");
    return 0;
  }
  return output->empty() ? 0 : 1;
}

}  // namespace osxnatives
