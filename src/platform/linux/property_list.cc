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

// libplist hands out nodes, and malloc'ed keys, iterators and texts, that the
// caller frees. These own them, so that nothing leaks when a conversion throws
// half-way (an allocation that fails, a JSON value of an unexpected type).
struct NodeFree {
  void operator()(plist_t node) const { plist_free(node); }
};
struct MallocFree {
  void operator()(void* memory) const {
    std::free(memory);  // NOLINT(cppcoreguidelines-no-malloc): libplist allocates with malloc
  }
};
using PlistNode = std::unique_ptr<void, NodeFree>;
using PlistIterator = std::unique_ptr<void, MallocFree>;
using PlistText = std::unique_ptr<char, MallocFree>;

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
      plist_dict_iter raw_iterator = nullptr;
      plist_dict_new_iter(node, &raw_iterator);
      const PlistIterator iterator(raw_iterator);
      if (iterator == nullptr) {
        return object;
      }
      for (;;) {
        char* raw_key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(node, iterator.get(), &raw_key, &value);
        const PlistText key(raw_key);
        if (key == nullptr) {
          break;
        }
        object[key.get()] = ToJson(value, depth + 1);
      }
      return object;
    }
    default:
      return nullptr;
  }
}

PlistNode FromJson(const nlohmann::json& value) {
  switch (value.type()) {
    case nlohmann::json::value_t::object: {
      PlistNode dict(plist_new_dict());
      for (const auto& [key, item] : value.items()) {
        // The dictionary takes the item over.
        plist_dict_set_item(dict.get(), key.c_str(), FromJson(item).release());
      }
      return dict;
    }
    case nlohmann::json::value_t::array: {
      PlistNode array(plist_new_array());
      for (const auto& item : value) {
        plist_array_append_item(array.get(), FromJson(item).release());
      }
      return array;
    }
    case nlohmann::json::value_t::string:
      return PlistNode(plist_new_string(value.get_ref<const std::string&>().c_str()));
    case nlohmann::json::value_t::boolean:
      return PlistNode(plist_new_bool(value.get<bool>() ? 1 : 0));
    case nlohmann::json::value_t::number_integer:
      return PlistNode(plist_new_uint(static_cast<uint64_t>(value.get<int64_t>())));
    case nlohmann::json::value_t::number_unsigned:
      return PlistNode(plist_new_uint(value.get<uint64_t>()));
    case nlohmann::json::value_t::number_float:
      return PlistNode(plist_new_real(value.get<double>()));
    default:
      return PlistNode(plist_new_string(""));
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
    plist_t raw_root = nullptr;
    plist_from_memory(data.data(), static_cast<uint32_t>(data.size()), &raw_root);
    const PlistNode root(raw_root);
    if (root == nullptr) {
      return {std::nullopt, kNotAPropertyList};
    }
    return {ToJson(root.get(), 0), ""};
  }

  std::string xmlDataWithPropertyList(const nlohmann::json& plist) override {
    const PlistNode root = FromJson(plist);
    char* raw_xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root.get(), &raw_xml, &length);
    const PlistText xml(raw_xml);
    return xml != nullptr ? std::string(xml.get(), length) : std::string();
  }
};

}  // namespace

NSPropertyListSerialization& LinuxNSPropertyListSerialization() {
  static auto* const serialization = new LibPlistSerialization();
  return *serialization;
}

}  // namespace osxnatives::platform
