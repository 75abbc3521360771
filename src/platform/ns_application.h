// NSApplication: the application object of the host process (`NSApp`).
#ifndef OSXNATIVES_PLATFORM_NS_APPLICATION_H_
#define OSXNATIVES_PLATFORM_NS_APPLICATION_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ns_workspace.h"
#include "platform/registry.h"

namespace osxnatives::platform {

// Bits of NSApplicationPresentationOptions.
inline constexpr uint64_t kPresentationDefault = 0;
inline constexpr uint64_t kPresentationHideDock = 1U << 1;
inline constexpr uint64_t kPresentationHideMenuBar = 1U << 3;
inline constexpr uint64_t kPresentationDisableAppleMenu = 1U << 4;
inline constexpr uint64_t kPresentationDisableProcessSwitching = 1U << 5;
inline constexpr uint64_t kPresentationDisableForceQuit = 1U << 6;
inline constexpr uint64_t kPresentationDisableSessionTermination = 1U << 7;
inline constexpr uint64_t kPresentationDisableHideApplication = 1U << 8;

class NSApplication {
 public:
  virtual ~NSApplication() = default;
  // `presentationOptions` setter and getter. Thread-safe.
  virtual void SetPresentationOptions(uint64_t options) = 0;
  virtual uint64_t PresentationOptions() const = 0;

  // `[[NSApp keyWindow] title]`: nullopt when the application has no key
  // window. Thread-safe.
  virtual std::optional<std::string> KeyWindowTitle() const = 0;

  // `[NSApp yieldActivationToApplication:]` (macOS 14 and later), for the
  // running application `application` is a snapshot of: the same instance
  // that `NSWorkspace::activateWithOptions` then activates, found by process
  // id (see there). Nothing happens when it has ended. Runs on the calling
  // thread.
  virtual void YieldActivationToApplication(const RunningApplication& application) = 0;
};

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_NS_APPLICATION_H_
