// Helpers shared by the Objective-C++ files of the macOS backend: text between
// UTF-8 `std::string` and `NSString`.
//
// The macOS services keep the names of the Apple classes they wrap (our
// `platform::NSEvent` beside AppKit's `NSEvent`). Inside our namespaces an
// unqualified name finds ours, so these files name Apple's classes with a
// leading `::` (`[::NSEvent removeMonitor:monitor]`, `::NSScreen*`).
#ifndef OSXNATIVES_PLATFORM_MACOS_OBJC_SUPPORT_H_
#define OSXNATIVES_PLATFORM_MACOS_OBJC_SUPPORT_H_

#import <Foundation/Foundation.h>

#include <optional>
#include <string>
#include <string_view>

namespace osxnatives::platform::macos {

// The string holding the UTF-8 text `utf8`; nil when `utf8` is not valid
// UTF-8. Never guesses another encoding, so a name that cannot be read is
// never mistaken for a different one.
inline NSString* StringFromUTF8(std::string_view utf8) {
  if (utf8.empty()) return @"";
  return [[NSString alloc] initWithBytes:utf8.data()
                                  length:utf8.size()
                                encoding:NSUTF8StringEncoding];
}

// The UTF-8 text of `string`, empty for nil. A character UTF-8 cannot carry
// (an unpaired surrogate) becomes '?'; embedded U+0000 is kept.
inline std::string UTF8FromString(NSString* string) {
  if (string == nil) return {};
  NSData* data = [string dataUsingEncoding:NSUTF8StringEncoding allowLossyConversion:YES];
  if (data.length == 0) return {};
  return {static_cast<const char*>(data.bytes), data.length};
}

// As `UTF8FromString`, with nil as nullopt.
inline std::optional<std::string> OptionalUTF8FromString(NSString* string) {
  if (string == nil) return std::nullopt;
  return UTF8FromString(string);
}

}  // namespace osxnatives::platform::macos

#endif  // OSXNATIVES_PLATFORM_MACOS_OBJC_SUPPORT_H_
