// Feeds arbitrary bytes (XML property lists, or not) to the property-list
// reader. Whatever it accepts must write back as XML that reads again to the
// same value, and the settings reader's corner and hot key lookups must take
// it without throwing.
//
// Binary property lists are left out for now: libplist 2.2 aborts the process
// (an assert in plist_get_key_val) on a binary dictionary key that holds a
// NUL byte, before our code can refuse it, so every run would end there.
// Reading them without libplist's key accessor is the open fix.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "input/input_handler_swift.h"
#include "platform/ns_property_list_serialization.h"

namespace {

using osxnatives::InputHandlerSwift;
using osxnatives::platform::NSPropertyListSerialization;

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
  }
}

// Equal as property lists: reals compare as numbers (a NaN equals a NaN),
// everything else exactly.
bool Same(const nlohmann::json& a, const nlohmann::json& b) {
  if (a.is_number_float() || b.is_number_float()) {
    if (!a.is_number() || !b.is_number()) return false;
    const double x = a.get<double>();
    const double y = b.get<double>();
    return x == y || (std::isnan(x) && std::isnan(y));
  }
  if (a.type() != b.type() && !(a.is_number_integer() && b.is_number_integer())) return false;
  if (a.is_array()) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
      if (!Same(a[i], b[i])) return false;
    }
    return true;
  }
  if (a.is_object()) {
    if (a.size() != b.size()) return false;
    for (const auto& [key, value] : a.items()) {
      const auto other = b.find(key);
      if (other == b.end() || !Same(value, *other)) return false;
    }
    return true;
  }
  return a == b;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (std::string_view(reinterpret_cast<const char*>(data), size).starts_with("bplist")) return 0;
  auto& serialization = osxnatives::platform::Get<NSPropertyListSerialization>();
  const auto parsed = serialization.propertyListWithData(
      std::string_view(reinterpret_cast<const char*>(data), size));
  Check(parsed.plist.has_value() != !parsed.error.empty(), "a result needs exactly one of both");
  if (!parsed.plist) return 0;

  const std::string xml = serialization.xmlDataWithPropertyList(*parsed.plist);
  const auto reread = serialization.propertyListWithData(xml);
  Check(reread.plist.has_value(), "written property list not readable");
  Check(Same(*parsed.plist, *reread.plist), "written property list reads differently");

  if (parsed.plist->is_object()) {
    for (const std::string_view key : InputHandlerSwift::HOT_CORNER_KEYS) {
      InputHandlerSwift::cornerActionFor(*parsed.plist, key);
    }
    const auto hot_keys = parsed.plist->find(InputHandlerSwift::HOTKEYS_KEY);
    if (hot_keys != parsed.plist->end() && hot_keys->is_string()) {
      for (const auto& entry :
           InputHandlerSwift::hotKeyListEntries(hot_keys->get_ref<const std::string&>())) {
        InputHandlerSwift::hotKeyId(entry);
      }
    }
  }
  return 0;
}
