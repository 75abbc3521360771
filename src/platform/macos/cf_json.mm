#include "platform/macos/cf_json.h"

#if !__has_feature(objc_arc)
#error "This file is built with automatic reference counting (-fobjc-arc)."
#endif

#import <Foundation/Foundation.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "platform/macos/scoped_cf.h"

namespace osxnatives::platform::macos {
namespace {

constexpr int kMaxDepth = 512;

void AppendUtf8(std::string& out, uint32_t code_point) {
  if (code_point < 0x80) {
    out.push_back(static_cast<char>(code_point));
  } else if (code_point < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code_point >> 6)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else if (code_point < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code_point >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code_point >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  }
}

// Whole seconds toward zero, as the Linux reader reports them; a value beyond
// the 64-bit range saturates.
int64_t WholeSeconds(double seconds) {
  if (std::isnan(seconds)) {
    return 0;
  }
  constexpr double kLimit = 9.2e18;
  if (seconds >= kLimit) {
    return std::numeric_limits<int64_t>::max();
  }
  if (seconds <= -kLimit) {
    return std::numeric_limits<int64_t>::min();
  }
  return static_cast<int64_t>(seconds);
}

int64_t IntegerValue(CFNumberRef number) {
  int64_t value = 0;
  if (!CFNumberGetValue(number, kCFNumberSInt64Type, &value)) {
    // Only an integer above INT64_MAX (CoreFoundation keeps those in 128
    // bits) is out of range here; its low 64 bits are the two's complement.
    value = static_cast<int64_t>([(__bridge NSNumber*)number unsignedLongLongValue]);
  }
  return value;
}

nlohmann::json ToJson(CFTypeRef value, int depth) {
  if (value == nullptr || depth > kMaxDepth) {
    return nullptr;
  }
  const CFTypeID type = CFGetTypeID(value);
  if (type == CFStringGetTypeID()) {
    return Utf8FromCFString(static_cast<CFStringRef>(value));
  }
  // Before numbers: toll-free bridged booleans are numbers to Foundation.
  if (type == CFBooleanGetTypeID()) {
    return static_cast<bool>(CFBooleanGetValue(static_cast<CFBooleanRef>(value)));
  }
  if (type == CFNumberGetTypeID()) {
    const auto number = static_cast<CFNumberRef>(value);
    if (CFNumberIsFloatType(number)) {
      double real = 0;
      CFNumberGetValue(number, kCFNumberDoubleType, &real);
      return real;
    }
    return IntegerValue(number);
  }
  if (type == CFDateGetTypeID()) {
    const double seconds = CFDateGetAbsoluteTime(static_cast<CFDateRef>(value));
    return {{"$date", std::to_string(WholeSeconds(seconds))}};
  }
  if (type == CFDataGetTypeID()) {
    NSString* text = [(__bridge NSData*)value base64EncodedStringWithOptions:0];
    return {{"$data", std::string(text.UTF8String)}};
  }
  if (type == CFArrayGetTypeID()) {
    const auto array = static_cast<CFArrayRef>(value);
    nlohmann::json items = nlohmann::json::array();
    const CFIndex count = CFArrayGetCount(array);
    for (CFIndex i = 0; i < count; ++i) {
      items.push_back(ToJson(CFArrayGetValueAtIndex(array, i), depth + 1));
    }
    return items;
  }
  if (type == CFDictionaryGetTypeID()) {
    const auto dictionary = static_cast<CFDictionaryRef>(value);
    const auto count = static_cast<size_t>(CFDictionaryGetCount(dictionary));
    std::vector<const void*> keys(count);
    std::vector<const void*> values(count);
    CFDictionaryGetKeysAndValues(dictionary, keys.data(), values.data());
    nlohmann::json object = nlohmann::json::object();
    for (size_t i = 0; i < count; ++i) {
      if (keys[i] == nullptr || CFGetTypeID(keys[i]) != CFStringGetTypeID()) {
        return nullptr;
      }
      object[Utf8FromCFString(static_cast<CFStringRef>(keys[i]))] = ToJson(values[i], depth + 1);
    }
    return object;
  }
  // Keyed-archiver UIDs among them: CoreFoundation has no public accessor
  // for their value, only private functions, and no file this library reads
  // (preferences, Info.plist, its own settings) is a keyed archive.
  return nullptr;
}

CFStringRef CreateEmptyString() CF_RETURNS_RETAINED {
  return static_cast<CFStringRef>(CFRetain(CFSTR("")));
}

}  // namespace

std::string Utf8FromCFString(CFStringRef text) {
  std::string out;
  if (text == nullptr) {
    return out;
  }
  const CFIndex length = CFStringGetLength(text);
  std::vector<UniChar> units(static_cast<size_t>(length));
  CFStringGetCharacters(text, CFRangeMake(0, length), units.data());
  out.reserve(units.size());
  for (size_t i = 0; i < units.size(); ++i) {
    const uint32_t unit = units[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00));
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      AppendUtf8(out, 0xFFFD);
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

CFStringRef CreateCFStringFromUtf8(std::string_view utf8) {
  return CFStringCreateWithBytes(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(utf8.data()),
                                 static_cast<CFIndex>(utf8.size()), kCFStringEncodingUTF8, false);
}

nlohmann::json JsonFromPropertyList(CFTypeRef value) { return ToJson(value, 0); }

CFPropertyListRef CreatePropertyListFromJson(const nlohmann::json& value) {
  switch (value.type()) {
    case nlohmann::json::value_t::object: {
      ScopedCFTypeRef<CFMutableDictionaryRef> dictionary(
          CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                    &kCFTypeDictionaryValueCallBacks));
      for (const auto& [key, item] : value.items()) {
        const ScopedCFTypeRef<CFStringRef> cf_key(CreateCFStringFromUtf8(key));
        if (!cf_key) continue;
        const ScopedCFTypeRef<CFPropertyListRef> cf_item(CreatePropertyListFromJson(item));
        CFDictionarySetValue(dictionary.get(), cf_key.get(), cf_item.get());
      }
      return dictionary.release();
    }
    case nlohmann::json::value_t::array: {
      ScopedCFTypeRef<CFMutableArrayRef> array(
          CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks));
      for (const auto& item : value) {
        const ScopedCFTypeRef<CFPropertyListRef> cf_item(CreatePropertyListFromJson(item));
        CFArrayAppendValue(array.get(), cf_item.get());
      }
      return array.release();
    }
    case nlohmann::json::value_t::string: {
      CFStringRef text = CreateCFStringFromUtf8(value.get_ref<const std::string&>());
      return text != nullptr ? text : CreateEmptyString();
    }
    case nlohmann::json::value_t::boolean:
      return CFRetain(value.get<bool>() ? kCFBooleanTrue : kCFBooleanFalse);
    case nlohmann::json::value_t::number_integer:
    case nlohmann::json::value_t::number_unsigned: {
      // An unsigned value above INT64_MAX keeps its bits, as on Linux.
      const auto integer = static_cast<int64_t>(value.get<uint64_t>());
      return CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &integer);
    }
    case nlohmann::json::value_t::number_float: {
      const auto real = value.get<double>();
      return CFNumberCreate(kCFAllocatorDefault, kCFNumberDoubleType, &real);
    }
    default:
      return CreateEmptyString();
  }
}

}  // namespace osxnatives::platform::macos
