// CoreGraphics displays and NSScreen on macOS. The CoreGraphics calls are
// safe on any thread; NSScreen is asked on the main thread.
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
    __block NSUInteger count = 0;
    RunOnMainThread(^{
      @autoreleasepool {
        count = [::NSScreen screens].count;
      }
    });
    return static_cast<uint32_t>(std::min<NSUInteger>(count, UINT32_MAX));
  }

  std::optional<std::string> mainScreenLocalizedName() override {
    __block std::optional<std::string> name;
    RunOnMainThread(^{
      @autoreleasepool {
        ::NSScreen* screen = [::NSScreen mainScreen];
        if (screen == nil) return;
        // `localizedName` came with macOS 10.15; without it the screen has no
        // name to give.
        name = [screen respondsToSelector:@selector(localizedName)]
                   ? UTF8FromString(screen.localizedName)
                   : std::string();
      }
    });
    return name;
  }
};

}  // namespace

void RegisterDisplays() {
  SetDefault<CGDisplay>(new Displays());
  SetDefault<NSScreen>(new Screens());
}

}  // namespace osxnatives::platform::macos
