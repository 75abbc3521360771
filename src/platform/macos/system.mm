// The main bundle's information dictionary, the system log (NSLog) and the
// operating system's version on macOS.
#if !__has_feature(objc_arc)
#error "This file is built with automatic reference counting (-fobjc-arc)."
#endif

#import <Foundation/Foundation.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/macos/cf_json.h"
#include "platform/macos/objc_support.h"
#include "platform/macos/services.h"
#include "platform/ns_bundle.h"
#include "platform/ns_log.h"
#include "platform/ns_operating_system_version.h"

namespace osxnatives::platform::macos {
namespace {

class MainBundle : public NSBundle {
 public:
  nlohmann::json infoDictionary() override {
    @autoreleasepool {
      NSDictionary* info = [[::NSBundle mainBundle] infoDictionary];
      nlohmann::json json = JsonFromPropertyList((__bridge CFTypeRef)info);
      return json.is_object() ? json : nlohmann::json::object();
    }
  }
};

// `text` as a string; when it is not valid UTF-8, its ASCII with every other
// byte written as \xNN, so that a line is never lost to one bad byte.
NSString* LoggableString(std::string_view text) {
  if (NSString* string = StringFromUTF8(text)) return string;
  std::string escaped;
  escaped.reserve(text.size() * 2);
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      escaped.push_back(c);
    } else {
      static constexpr char kHex[] = "0123456789ABCDEF";
      escaped += {'\\', 'x', kHex[byte >> 4], kHex[byte & 0xF]};
    }
  }
  return StringFromUTF8(escaped);
}

class NSLogSystemLog : public SystemLog {
 public:
  // NSLog adds the line feed itself unless the text ends with one.
  void Write(std::string_view text) override {
    @autoreleasepool {
      ::NSLog(@"%@", LoggableString(text));
    }
  }
};

class ProcessInfoVersion : public OperatingSystemVersionInfo {
 public:
  // What the process is told: a host whose main executable was built with an
  // SDK older than macOS 11 reads 10.16 on macOS 11 and later.
  platform::NSOperatingSystemVersion operatingSystemVersion() override {
    @autoreleasepool {
      const ::NSOperatingSystemVersion version = [NSProcessInfo processInfo].operatingSystemVersion;
      return {version.majorVersion, version.minorVersion, version.patchVersion};
    }
  }
};

}  // namespace

void RegisterSystem() {
  SetDefault<NSBundle>(new MainBundle());
  SetDefault<SystemLog>(new NSLogSystemLog());
  SetDefault<OperatingSystemVersionInfo>(new ProcessInfoVersion());
}

}  // namespace osxnatives::platform::macos
