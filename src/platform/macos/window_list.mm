// The CoreGraphics window list on macOS.
#if !__has_feature(objc_arc)
#error "This file is built with automatic reference counting (-fobjc-arc)."
#endif

#include <CoreGraphics/CoreGraphics.h>

#include "platform/cg_window_list.h"
#include "platform/macos/scoped_cf.h"
#include "platform/macos/services.h"
#include "platform/macos/window_description.h"

namespace osxnatives::platform::macos {
namespace {

static_assert(kCGWindowListOptionAll == ::kCGWindowListOptionAll);
static_assert(kCGWindowListOptionOnScreenOnly == ::kCGWindowListOptionOnScreenOnly);
static_assert(kCGWindowListOptionOnScreenAboveWindow == ::kCGWindowListOptionOnScreenAboveWindow);
static_assert(kCGWindowListOptionOnScreenBelowWindow == ::kCGWindowListOptionOnScreenBelowWindow);
static_assert(kCGWindowListOptionIncludingWindow == ::kCGWindowListOptionIncludingWindow);
static_assert(kCGWindowListExcludeDesktopElements == ::kCGWindowListExcludeDesktopElements);
static_assert(kNullWindowID == kCGNullWindowID);

// The owner id of one window dictionary, nullopt when it has none or it is
// not a number.
std::optional<double> OwnerPID(CFDictionaryRef window) {
  const void* value = CFDictionaryGetValue(window, kCGWindowOwnerPID);
  if (value == nullptr || CFGetTypeID(value) != CFNumberGetTypeID()) return std::nullopt;
  double pid = 0;
  CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberDoubleType, &pid);
  return pid;
}

class WindowList : public CGWindowList {
 public:
  std::optional<std::vector<CGWindowInfo>> CGWindowListCopyWindowInfo(
      uint32_t option, uint32_t relativeToWindow) override {
    // Released also when filling the vector throws.
    const ScopedCFTypeRef<CFArrayRef> owner(::CGWindowListCopyWindowInfo(option, relativeToWindow));
    const CFArrayRef list = owner.get();
    if (list == nullptr) return std::nullopt;
    std::optional<std::vector<CGWindowInfo>> windows;
    // A list that is not an array of dictionaries cannot be read at all, which
    // its readers treat as they treat NULL.
    if (CFGetTypeID(list) == CFArrayGetTypeID()) {
      windows.emplace();
      const CFIndex count = CFArrayGetCount(list);
      windows->reserve(static_cast<size_t>(count));
      for (CFIndex i = 0; i < count; ++i) {
        const void* window = CFArrayGetValueAtIndex(list, i);
        if (window == nullptr || CFGetTypeID(window) != CFDictionaryGetTypeID()) {
          windows.reset();
          break;
        }
        CGWindowInfo info;
        info.ownerPID = OwnerPID(static_cast<CFDictionaryRef>(window));
        DescribeWindow(static_cast<CFDictionaryRef>(window), info);
        windows->push_back(std::move(info));
      }
    }
    return windows;
  }
};

}  // namespace

void RegisterWindowList() { SetDefault<CGWindowList>(new WindowList()); }

}  // namespace osxnatives::platform::macos
