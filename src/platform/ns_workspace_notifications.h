// NSWorkspace's notification centre: `NSWorkspaceDidLaunchApplicationNotification`
// and `NSWorkspaceDidTerminateApplicationNotification`, as they happen. On
// Linux: every process started or ended, from the kernel's process-event
// connector or a watch of /proc.
#ifndef OSXNATIVES_PLATFORM_NS_WORKSPACE_NOTIFICATIONS_H_
#define OSXNATIVES_PLATFORM_NS_WORKSPACE_NOTIFICATIONS_H_

#include <functional>
#include <optional>
#include <string>

#include "platform/ns_workspace.h"
#include "platform/registry.h"

namespace osxnatives::platform {

struct ApplicationLifecycleEvent {
  bool launched = true;  // false: terminated
  RunningApplication application;
};

using ApplicationLifecycleHandler = std::function<void(const ApplicationLifecycleEvent&)>;

class NSWorkspaceNotifications {
 public:
  virtual ~NSWorkspaceNotifications() = default;

  // Adds the observers; `handler` is then called once per launch or
  // termination, on a platform thread (the main thread on macOS), never on
  // the caller's, until `removeObservers` returns. Returns the mechanism in
  // use (e.g. "NSWorkspace notifications"), or nullopt with `*reason` set when
  // nothing can be observed. At most one observer set exists; the caller
  // keeps that rule. Thread-safe.
  virtual std::optional<std::string> addObservers(ApplicationLifecycleHandler handler,
                                                  std::string* reason) = 0;
  // Removes the observers. No call of the handler starts after it returns,
  // except one already running on the calling thread itself. Thread-safe.
  virtual void removeObservers() = 0;
};

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_NS_WORKSPACE_NOTIFICATIONS_H_
