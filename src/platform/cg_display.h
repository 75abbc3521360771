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

// What CoreGraphics says of one display: `CGDisplayIsMain`,
// `CGDisplayIsBuiltin`, `CGDisplayMirrorsDisplay`, `CGDisplayVendorNumber`,
// `CGDisplayModelNumber`, `CGDisplaySerialNumber`, `CGDisplayScreenSize` and
// `CGDisplayPixelsWide`/`High`.
struct CGDisplayDescription {
  bool isMain = false;
  bool isBuiltin = false;
  // The display this one mirrors; 0 (`kCGNullDirectDisplay`) when none.
  CGDirectDisplayID mirrorsDisplay = 0;
  uint32_t vendorNumber = 0;  // 0 where the display does not say
  uint32_t modelNumber = 0;
  uint32_t serialNumber = 0;
  double widthMillimetres = 0;  // 0 where the display reports no size
  double heightMillimetres = 0;
  uint64_t pixelsWide = 0;
  uint64_t pixelsHigh = 0;
};

class CGDisplayProperties {
 public:
  virtual ~CGDisplayProperties() = default;
  // The description of `display`; nullopt when the id names no online
  // display. Thread-safe.
  virtual std::optional<CGDisplayDescription> describeDisplay(CGDirectDisplayID display) = 0;
};

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_CG_DISPLAY_H_
