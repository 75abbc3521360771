// The property-list reader: whatever it accepts writes back as XML that reads
// again and writes the same, and the settings lookups take it without
// throwing. Binary lists are left out: libplist 2.2 aborts (an assert in
// plist_get_key_val) on a binary dictionary key holding a NUL byte, before
// our code can refuse it.
#include <cstdint>
#include <string>
#include <string_view>

#include "check.h"
#include "input/input_handler_swift.h"
#include "platform/ns_property_list_serialization.h"

using osxnatives::InputHandlerSwift;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (bytes.starts_with("bplist")) return 0;
  auto& serialization =
      osxnatives::platform::Get<osxnatives::platform::NSPropertyListSerialization>();
  const auto parsed = serialization.propertyListWithData(bytes);
  Check(parsed.plist.has_value() == parsed.error.empty(), "a result needs exactly one of both");
  if (!parsed.plist) return 0;
  const std::string xml = serialization.xmlDataWithPropertyList(*parsed.plist);
  const auto reread = serialization.propertyListWithData(xml);
  Check(reread.plist.has_value(), "written property list not readable");
  Check(serialization.xmlDataWithPropertyList(*reread.plist) == xml,
        "written property list reads differently");

  if (!parsed.plist->is_object()) return 0;
  for (const std::string_view key : InputHandlerSwift::HOT_CORNER_KEYS) {
    InputHandlerSwift::cornerActionFor(*parsed.plist, key);
  }
  const auto hot_keys = parsed.plist->find(InputHandlerSwift::HOTKEYS_KEY);
  if (hot_keys != parsed.plist->end() && hot_keys->is_string()) {
    for (const auto& entry : InputHandlerSwift::hotKeyListEntries(hot_keys->get<std::string>())) {
      InputHandlerSwift::hotKeyId(entry);
    }
  }
  return 0;
}
