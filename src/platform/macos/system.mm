// The main bundle's information dictionary, the system log (NSLog) and the
// operating system's version on macOS.
#import <Foundation/Foundation.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/macos/objc_support.h"
#include "platform/macos/services.h"
#include "platform/ns_bundle.h"
#include "platform/ns_log.h"
#include "platform/ns_operating_system_version.h"

namespace osxnatives::platform::macos {
namespace {

// Property lists from disk are outside input: deeper values become null.
constexpr int kMaxDepth = 512;

nlohmann::json Json(id value, int depth);

nlohmann::json NumberJson(NSNumber* number) {
  if (number == (__bridge NSNumber*)kCFBooleanTrue) return true;
  if (number == (__bridge NSNumber*)kCFBooleanFalse) return false;
  const auto cf_number = (__bridge CFNumberRef)number;
  // Not every NSNumber is a CFNumber (NSDecimalNumber is not).
  if (CFGetTypeID(cf_number) != CFNumberGetTypeID()) return number.doubleValue;
  if (CFNumberIsFloatType(cf_number)) return number.doubleValue;
  int64_t value = 0;
  if (!CFNumberGetValue(cf_number, kCFNumberSInt64Type, &value)) {
    // Above INT64_MAX: kept as its two's-complement negative.
    value = static_cast<int64_t>(number.unsignedLongLongValue);
  }
  return value;
}

nlohmann::json DictionaryJson(NSDictionary* dictionary, int depth) {
  nlohmann::json object = nlohmann::json::object();
  for (id key in dictionary) {
    if (![key isKindOfClass:[NSString class]]) continue;
    object[UTF8FromString(key)] = Json(dictionary[key], depth + 1);
  }
  return object;
}

nlohmann::json Json(id value, int depth) {
  if (depth > kMaxDepth) return nullptr;
  if ([value isKindOfClass:[NSString class]]) return UTF8FromString(value);
  if ([value isKindOfClass:[NSNumber class]]) return NumberJson(value);
  if ([value isKindOfClass:[NSDictionary class]]) return DictionaryJson(value, depth);
  if ([value isKindOfClass:[NSArray class]]) {
    nlohmann::json array = nlohmann::json::array();
    for (id item in static_cast<NSArray*>(value)) array.push_back(Json(item, depth + 1));
    return array;
  }
  if ([value isKindOfClass:[NSDate class]]) {
    const auto seconds = static_cast<int64_t>([value timeIntervalSinceReferenceDate]);
    return {{"$date", std::to_string(seconds)}};
  }
  if ([value isKindOfClass:[NSData class]]) {
    return {{"$data", UTF8FromString([value base64EncodedStringWithOptions:0])}};
  }
  return nullptr;
}

class MainBundle : public NSBundle {
 public:
  nlohmann::json infoDictionary() override {
    @autoreleasepool {
      NSDictionary* info = [[::NSBundle mainBundle] infoDictionary];
      return info != nil ? DictionaryJson(info, 0) : nlohmann::json::object();
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
  platform::NSOperatingSystemVersion operatingSystemVersion() override {
    const ::NSOperatingSystemVersion version = [NSProcessInfo processInfo].operatingSystemVersion;
    return {version.majorVersion, version.minorVersion, version.patchVersion};
  }
};

}  // namespace

void RegisterSystem() {
  SetDefault<NSBundle>(new MainBundle());
  SetDefault<SystemLog>(new NSLogSystemLog());
  SetDefault<OperatingSystemVersionInfo>(new ProcessInfoVersion());
}

}  // namespace osxnatives::platform::macos
