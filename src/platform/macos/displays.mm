// CoreGraphics displays and NSScreen on macOS, all asked on the calling
// thread. The CoreGraphics calls are safe on any thread. AppKit documents
// NSScreen as main-thread API; it is read here on the Java thread that asked,
// as the display questions and the lockdown promise, and never by waiting for
// the main thread, which a host may be holding (the Mac checklist watches for
// what this costs).
#if !__has_feature(objc_arc)
#error "This file is built with automatic reference counting (-fobjc-arc)."
#endif

#import <AppKit/AppKit.h>
#include <CoreGraphics/CoreGraphics.h>

#include <algorithm>
#include <cstdint>

#include "platform/cg_display.h"
#include "platform/macos/objc_support.h"
#include "platform/macos/services.h"

namespace osxnatives::platform::macos {
namespace {

static_assert(kCGErrorSuccess == ::kCGErrorSuccess);
static_assert(kCGErrorFailure == ::kCGErrorFailure);
static_assert(kCGErrorIllegalArgument == ::kCGErrorIllegalArgument);

class Displays : public CGDisplay {
 public:
  CGError CGGetOnlineDisplayList(uint32_t max_displays, CGDirectDisplayID* displays,
                                 uint32_t* display_count) override {
    return ::CGGetOnlineDisplayList(max_displays, displays, display_count);
  }

  CGError CGGetActiveDisplayList(uint32_t max_displays, CGDirectDisplayID* displays,
                                 uint32_t* display_count) override {
    return ::CGGetActiveDisplayList(max_displays, displays, display_count);
  }

  CGDirectDisplayID CGMainDisplayID() override { return ::CGMainDisplayID(); }

  CGError CGDisplayCapture(CGDirectDisplayID display) override {
    return ::CGDisplayCapture(display);
  }

  CGError CGDisplayRelease(CGDirectDisplayID display) override {
    return ::CGDisplayRelease(display);
  }
};

class Screens : public NSScreen {
 public:
  uint32_t screensCount() override {
    @autoreleasepool {
      const NSUInteger count = [::NSScreen screens].count;
      return static_cast<uint32_t>(std::min<NSUInteger>(count, UINT32_MAX));
    }
  }

  // The screen AppKit calls main: the one holding the key window, which need
  // not be the display with the menu bar.
  std::optional<std::string> mainScreenLocalizedName() override {
    @autoreleasepool {
      ::NSScreen* screen = [::NSScreen mainScreen];
      if (screen == nil) return std::nullopt;
      // `localizedName` came with macOS 10.15; without it the screen has no
      // name to give.
      if (![screen respondsToSelector:@selector(localizedName)]) return std::string();
      return UTF8FromString(screen.localizedName);
    }
  }
};

}  // namespace

void RegisterDisplays() {
  SetDefault<CGDisplay>(new Displays());
  SetDefault<NSScreen>(new Screens());
}

}  // namespace osxnatives::platform::macos
