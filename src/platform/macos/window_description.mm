// The integrity fields of a CoreGraphics window dictionary.
#if !__has_feature(objc_arc)
#error "This file is built with automatic reference counting (-fobjc-arc)."
#endif

#include "platform/macos/window_description.h"

#include <CoreGraphics/CoreGraphics.h>

#include "platform/macos/objc_support.h"

namespace osxnatives::platform::macos {
namespace {

static_assert(kCGWindowSharingNone == ::kCGWindowSharingNone);
static_assert(kCGWindowSharingReadOnly == ::kCGWindowSharingReadOnly);

// The value under `key` when it is a CoreFoundation object of type `type`.
const void* ValueOfType(CFDictionaryRef window, CFStringRef key, CFTypeID type) {
  const void* value = CFDictionaryGetValue(window, key);
  return value != nullptr && CFGetTypeID(value) == type ? value : nullptr;
}

std::optional<int64_t> Integer(CFDictionaryRef window, CFStringRef key) {
  const void* value = ValueOfType(window, key, CFNumberGetTypeID());
  int64_t number = 0;
  if (value == nullptr ||
      !CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberSInt64Type, &number)) {
    return std::nullopt;
  }
  return number;
}

std::optional<double> Real(CFDictionaryRef window, CFStringRef key) {
  const void* value = ValueOfType(window, key, CFNumberGetTypeID());
  double number = 0;
  if (value == nullptr ||
      !CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberDoubleType, &number)) {
    return std::nullopt;
  }
  return number;
}

}  // namespace

void DescribeWindow(CFDictionaryRef window, CGWindowInfo& info) {
  info.windowNumber = Integer(window, kCGWindowNumber);
  info.layer = Integer(window, kCGWindowLayer);
  info.alpha = Real(window, kCGWindowAlpha);
  info.sharingState = Integer(window, kCGWindowSharingState);
  if (const void* on_screen = ValueOfType(window, kCGWindowIsOnscreen, CFBooleanGetTypeID())) {
    info.isOnscreen = CFBooleanGetValue(static_cast<CFBooleanRef>(on_screen)) != 0;
  }
  if (const void* name = ValueOfType(window, kCGWindowOwnerName, CFStringGetTypeID())) {
    @autoreleasepool {
      info.ownerName = UTF8FromString((__bridge NSString*)name);
    }
  }
  if (const void* bounds = ValueOfType(window, kCGWindowBounds, CFDictionaryGetTypeID())) {
    CGRect rect = CGRectZero;
    if (::CGRectMakeWithDictionaryRepresentation(static_cast<CFDictionaryRef>(bounds), &rect)) {
      info.bounds =
          CGWindowInfo::Bounds{rect.origin.x, rect.origin.y, rect.size.width, rect.size.height};
    }
  }
}

}  // namespace osxnatives::platform::macos
