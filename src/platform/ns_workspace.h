// NSWorkspace and NSRunningApplication: the applications running in the user's
// session, the frontmost one, and the application hosting this library.
#ifndef OSXNATIVES_PLATFORM_NS_WORKSPACE_H_
#define OSXNATIVES_PLATFORM_NS_WORKSPACE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace osxnatives::platform {

// A snapshot of one NSRunningApplication.
struct RunningApplication {
  int32_t processIdentifier = -1;  // -1 when the platform does not know it
  std::optional<std::string> localizedName;
  std::optional<std::string> bundleIdentifier;

  bool operator==(const RunningApplication&) const = default;
};

// `activateWithOptions:` option bits.
inline constexpr uint64_t kActivateAllWindows = 1U << 0;
inline constexpr uint64_t kActivateIgnoringOtherApps = 1U << 1;

class NSWorkspace {
 public:
  virtual ~NSWorkspace() = default;

  // `[[NSWorkspace sharedWorkspace] runningApplications]`, in the platform's
  // order. Thread-safe.
  virtual std::vector<RunningApplication> runningApplications() = 0;
  // `[[NSWorkspace sharedWorkspace] frontmostApplication]`; nullopt when none.
  virtual std::optional<RunningApplication> frontmostApplication() = 0;
  // `[NSRunningApplication runningApplicationWithProcessIdentifier:]`;
  // nullopt for a process that is not an application.
  virtual std::optional<RunningApplication> runningApplicationWithProcessIdentifier(
      int32_t pid) = 0;
  // `[NSRunningApplication currentApplication]`: the process hosting the
  // library.
  virtual RunningApplication currentApplication() = 0;
  // `[application activateWithOptions:]`. Returns whether the platform
  // accepted the request.
  virtual bool activateWithOptions(const RunningApplication& application, uint64_t options) = 0;
};

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_NS_WORKSPACE_H_
