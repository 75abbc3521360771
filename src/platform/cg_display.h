// CoreGraphics displays and NSScreen: the display lists, the main display,
// capturing a display for exclusive use, and the screens AppKit reports.
#ifndef OSXNATIVES_PLATFORM_CG_DISPLAY_H_
#define OSXNATIVES_PLATFORM_CG_DISPLAY_H_

#include <cstdint>
#include <optional>
#include <string>

#include "platform/registry.h"

namespace osxnatives::platform {

using CGDirectDisplayID = uint32_t;
using CGError = int32_t;
inline constexpr CGError kCGErrorSuccess = 0;
inline constexpr CGError kCGErrorFailure = 1000;
inline constexpr CGError kCGErrorIllegalArgument = 1001;

class CGDisplay {
 public:
  virtual ~CGDisplay() = default;

  // `CGGetOnlineDisplayList` / `CGGetActiveDisplayList`: write at most
  // `max_displays` ids into `displays` (which must hold that many) and their
  // number into `display_count`. Online displays include mirrored and sleeping
  // ones; active displays are those that can be drawn to. Thread-safe.
  virtual CGError CGGetOnlineDisplayList(uint32_t max_displays, CGDirectDisplayID* displays,
                                         uint32_t* display_count) = 0;
  virtual CGError CGGetActiveDisplayList(uint32_t max_displays, CGDirectDisplayID* displays,
                                         uint32_t* display_count) = 0;
  // `CGMainDisplayID`. Thread-safe.
  virtual CGDirectDisplayID CGMainDisplayID() = 0;
  // `CGDisplayCapture` / `CGDisplayRelease`: take or give back exclusive use
  // of one display. Thread-safe.
  virtual CGError CGDisplayCapture(CGDirectDisplayID display) = 0;
  virtual CGError CGDisplayRelease(CGDirectDisplayID display) = 0;
};

class NSScreen {
 public:
  virtual ~NSScreen() = default;
  // `[[NSScreen screens] count]`. Thread-safe.
  virtual uint32_t screensCount() = 0;
  // `[[NSScreen mainScreen] localizedName]`; nullopt when there is no main
  // screen. Thread-safe.
  virtual std::optional<std::string> mainScreenLocalizedName() = 0;
};

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_CG_DISPLAY_H_
