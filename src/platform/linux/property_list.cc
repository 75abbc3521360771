// NSPropertyListSerialization on Linux: libplist (reads XML and binary,
// writes XML).
#include <plist/plist.h>

#include <cstdlib>
#include <limits>
#include <memory>

#include "platform/linux/services.h"
#include "platform/ns_property_list_serialization.h"

namespace osxnatives::platform {
namespace {

using PlistOwner = std::unique_ptr<void, decltype(&plist_free)>;

std::string Base64(const char* data, uint64_t length) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (uint64_t i = 0; i < length; i += 3) {
    uint32_t chunk = static_cast<uint32_t>(static_cast<uint8_t>(data[i])) << 16;
    if (i + 1 < length) {
      chunk |= static_cast<uint32_t>(static_cast<uint8_t>(data[i + 1])) << 8;
    }
    if (i + 2 < length) {
      chunk |= static_cast<uint8_t>(data[i + 2]);
    }
    out.push_back(kAlphabet[(chunk >> 18) & 63]);
    out.push_back(kAlphabet[(chunk >> 12) & 63]);
    out.push_back(i + 1 < length ? kAlphabet[(chunk >> 6) & 63] : '=');
    out.push_back(i + 2 < length ? kAlphabet[chunk & 63] : '=');
  }
  return out;
}

nlohmann::json ToJson(plist_t node, int depth) {
  // Property lists from disk are outside input: bound the nesting.
  if (depth > 512) {
    return nullptr;
  }
  switch (plist_get_node_type(node)) {
    case PLIST_STRING: {
      const char* text = plist_get_string_ptr(node, nullptr);
      return text != nullptr ? nlohmann::json(text) : nlohmann::json("");
    }
    case PLIST_BOOLEAN: {
      uint8_t value = 0;
      plist_get_bool_val(node, &value);
      return value != 0;
    }
    case PLIST_UINT: {
      // libplist keeps every integer as 64 bits without its sign; property
      // lists hold signed integers, so read the bits as signed.
      uint64_t value = 0;
      plist_get_uint_val(node, &value);
      return static_cast<int64_t>(value);
    }
    case PLIST_REAL: {
      double value = 0;
      plist_get_real_val(node, &value);
      return value;
    }
    case PLIST_DATA: {
      uint64_t length = 0;
      const char* data = plist_get_data_ptr(node, &length);
      return {{"$data", Base64(data, length)}};
    }
    case PLIST_DATE: {
      int32_t seconds = 0;
      int32_t micros = 0;
      plist_get_date_val(node, &seconds, &micros);
      return {{"$date", std::to_string(seconds)}};
    }
    case PLIST_UID: {
      uint64_t value = 0;
      plist_get_uid_val(node, &value);
      return {{"CF$UID", value}};
    }
    case PLIST_ARRAY: {
      nlohmann::json array = nlohmann::json::array();
      for (uint32_t i = 0; i < plist_array_get_size(node); ++i) {
        array.push_back(ToJson(plist_array_get_item(node, i), depth + 1));
      }
      return array;
    }
    case PLIST_DICT: {
      nlohmann::json object = nlohmann::json::object();
      plist_dict_iter it = nullptr;
      plist_dict_new_iter(node, &it);
      for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(node, it, &key, &value);
        if (key == nullptr) {
          break;
        }
        object[key] = ToJson(value, depth + 1);
        std::free(key);  // NOLINT(cppcoreguidelines-no-malloc): libplist allocates with malloc
      }
      std::free(it);  // NOLINT(cppcoreguidelines-no-malloc)
      return object;
    }
    default:
      return nullptr;
  }
}

plist_t FromJson(const nlohmann::json& value) {
  switch (value.type()) {
    case nlohmann::json::value_t::object: {
      plist_t dict = plist_new_dict();
      for (const auto& [key, item] : value.items()) {
        plist_dict_set_item(dict, key.c_str(), FromJson(item));
      }
      return dict;
    }
    case nlohmann::json::value_t::array: {
      plist_t array = plist_new_array();
      for (const auto& item : value) {
        plist_array_append_item(array, FromJson(item));
      }
      return array;
    }
    case nlohmann::json::value_t::string:
      return plist_new_string(value.get_ref<const std::string&>().c_str());
    case nlohmann::json::value_t::boolean:
      return plist_new_bool(value.get<bool>() ? 1 : 0);
    case nlohmann::json::value_t::number_integer:
      return plist_new_uint(static_cast<uint64_t>(value.get<int64_t>()));
    case nlohmann::json::value_t::number_unsigned:
      return plist_new_uint(value.get<uint64_t>());
    case nlohmann::json::value_t::number_float:
      return plist_new_real(value.get<double>());
    default:
      return plist_new_string("");
  }
}

class LibPlistSerialization : public NSPropertyListSerialization {
 public:
  PropertyListResult propertyListWithData(std::string_view data) override {
    static constexpr char kNotAPropertyList[] =
        "The data couldn't be read because it isn't in the correct format.";
    if (data.empty() || data.size() > std::numeric_limits<uint32_t>::max()) {
      return {std::nullopt, kNotAPropertyList};
    }
    plist_t root = nullptr;
    plist_from_memory(data.data(), static_cast<uint32_t>(data.size()), &root);
    if (root == nullptr) {
      return {std::nullopt, kNotAPropertyList};
    }
    PlistOwner owner(root, &plist_free);
    return {ToJson(root, 0), ""};
  }

  std::string xmlDataWithPropertyList(const nlohmann::json& plist) override {
    PlistOwner root(FromJson(plist), &plist_free);
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root.get(), &xml, &length);
    std::string text = xml != nullptr ? std::string(xml, length) : std::string();
    std::free(xml);  // NOLINT(cppcoreguidelines-no-malloc): libplist allocates with malloc
    return text;
  }
};

}  // namespace

NSPropertyListSerialization& LinuxNSPropertyListSerialization() {
  static auto* const serialization = new LibPlistSerialization();
  return *serialization;
}

}  // namespace osxnatives::platform
