// Simulated NSWorkspace / NSRunningApplication, from the scenario keys
// "runningApplications", "currentApplication" and "frontmostApplication".
#ifndef OSXNATIVES_PLATFORM_SIM_WORKSPACE_H_
#define OSXNATIVES_PLATFORM_SIM_WORKSPACE_H_

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/ns_workspace.h"
#include "platform/sim/desktop.h"

namespace osxnatives::platform::sim {

// "runningApplications" entries are {"pid", "localizedName",
// "bundleIdentifier"}; pid 0 stands for the host process itself. Entries
// without an integer pid are skipped with a warning. "frontmostApplication"
// is a bundle identifier; the first running application (or the current one)
// with it is frontmost. Activating an application makes it frontmost and
// journals "NSRunningApplication" "activateWithOptions:"
// {"bundleIdentifier", "options"}.
class SimWorkspace : public NSWorkspace {
 public:
  // `host_pid` is the pid that pid 0 stands for (the library's process).
  SimWorkspace(Desktop& desktop, int32_t host_pid);

  std::vector<RunningApplication> runningApplications() override;
  std::optional<RunningApplication> frontmostApplication() override;
  std::optional<RunningApplication> runningApplicationWithProcessIdentifier(int32_t pid) override;
  RunningApplication currentApplication() override { return current_; }
  bool activateWithOptions(const RunningApplication& application, uint64_t options) override;

 private:
  Desktop& desktop_;
  RunningApplication current_;
  std::vector<RunningApplication> running_;
  std::mutex mutex_;
  std::optional<RunningApplication> frontmost_;  // Guarded by mutex_.
};

}  // namespace osxnatives::platform::sim

#endif  // OSXNATIVES_PLATFORM_SIM_WORKSPACE_H_
