#include "platform/sim/bundle.h"

#include <plist/plist.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

namespace osxnatives::platform {

template <>
NSBundle& Registry<NSBundle>::Default() {
  static auto* const bundle = new sim::SimBundle(sim::Desktop::Instance());
  return *bundle;
}

namespace sim {
namespace {

using PlistPtr = std::unique_ptr<void, decltype(&plist_free)>;

std::string Base64(const char* data, uint64_t length) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (uint64_t i = 0; i < length; i += 3) {
    uint32_t chunk = static_cast<uint8_t>(data[i]) << 16;
    if (i + 1 < length) chunk |= static_cast<uint8_t>(data[i + 1]) << 8;
    if (i + 2 < length) chunk |= static_cast<uint8_t>(data[i + 2]);
    out.push_back(kAlphabet[(chunk >> 18) & 63]);
    out.push_back(kAlphabet[(chunk >> 12) & 63]);
    out.push_back(i + 1 < length ? kAlphabet[(chunk >> 6) & 63] : '=');
    out.push_back(i + 2 < length ? kAlphabet[chunk & 63] : '=');
  }
  return out;
}

nlohmann::json Convert(plist_t node) {
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
      uint64_t value = 0;
      plist_get_uint_val(node, &value);
      return value;
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
    case PLIST_ARRAY: {
      nlohmann::json array = nlohmann::json::array();
      for (uint32_t i = 0; i < plist_array_get_size(node); ++i) {
        array.push_back(Convert(plist_array_get_item(node, i)));
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
        if (key == nullptr) break;
        object[key] = Convert(value);
        std::free(key);  // NOLINT(cppcoreguidelines-no-malloc): libplist allocates with malloc
      }
      std::free(it);  // NOLINT(cppcoreguidelines-no-malloc)
      return object;
    }
    default:
      return nullptr;
  }
}

}  // namespace

nlohmann::json PropertyListToJson(const std::string& bytes) {
  plist_t root = nullptr;
  if (bytes.empty() || bytes.size() > UINT32_MAX) return nullptr;
  plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
  if (root == nullptr) return nullptr;
  PlistPtr owner(root, &plist_free);
  return Convert(root);
}

SimBundle::SimBundle(Desktop& desktop) {
  const Scenario& scenario = desktop.scenario();
  if (auto path = scenario.String("infoPlist")) {
    path = scenario.ResolvePath(*path);
    std::ifstream in(*path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    nlohmann::json parsed = in ? PropertyListToJson(bytes.str()) : nlohmann::json();
    if (parsed.is_object()) {
      info_ = std::move(parsed);
    } else {
      Warn("infoPlist " + *path + " is not a readable property-list dictionary; it is empty");
    }
  }
  if (const nlohmann::json* app = scenario.Find("currentApplication"); app && app->is_object()) {
    for (const auto& [from, to] : {std::pair{"bundleName", "CFBundleName"},
                                   std::pair{"bundleIdentifier", "CFBundleIdentifier"}}) {
      auto it = app->find(from);
      if (it != app->end() && it->is_string()) info_[to] = *it;
    }
  }
}

}  // namespace sim
}  // namespace osxnatives::platform
