// CoreFoundation values to and from the JSON shapes of the platform
// interfaces, shared by the macOS backends that hand property lists, proxy
// settings and registry properties to the rest of the library.
//
// Property-list types map as in `platform/ns_property_list_serialization.h`:
// dictionaries to objects, arrays to arrays, strings, booleans and reals as
// such, integers to signed 64-bit integers (two's complement above
// INT64_MAX), dates to {"$date": whole seconds since 2001 as text}, data to
// {"$data": base64 text}. Keyed-archiver UIDs, which only keyed archives
// hold and CoreFoundation exposes through no public call, become null.
#ifndef OSXNATIVES_PLATFORM_MACOS_CF_JSON_H_
#define OSXNATIVES_PLATFORM_MACOS_CF_JSON_H_

#include <CoreFoundation/CoreFoundation.h>

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace osxnatives::platform::macos {

// `text` as UTF-8. A lone UTF-16 surrogate becomes U+FFFD, so the result is
// always well-formed; embedded NULs are kept. Null gives "". Does not take
// ownership. Thread-safe.
std::string Utf8FromCFString(CFStringRef text);

// A new string holding `utf8`, or null when it is not well-formed UTF-8. The
// caller owns the result. Thread-safe.
CFStringRef CreateCFStringFromUtf8(std::string_view utf8) CF_RETURNS_RETAINED;

// `value` in the mapping above. A value of another type, a dictionary with a
// key that is not a string, and anything nested deeper than 512 levels become
// null. Null gives null. Does not take ownership. Creates autoreleased
// objects: call inside a pool. Thread-safe.
nlohmann::json JsonFromPropertyList(CFTypeRef value);

// A new property-list object for `value`: objects to dictionaries, arrays,
// strings, booleans, integers (unsigned ones above INT64_MAX as their
// two's-complement negative) and reals to their CF types; null, and a string
// that is not well-formed UTF-8, to the empty string; a member whose key is not
// well-formed UTF-8 is left out. Never null. The caller owns the result.
// Thread-safe.
CFPropertyListRef CreatePropertyListFromJson(const nlohmann::json& value) CF_RETURNS_RETAINED;

}  // namespace osxnatives::platform::macos

#endif  // OSXNATIVES_PLATFORM_MACOS_CF_JSON_H_
