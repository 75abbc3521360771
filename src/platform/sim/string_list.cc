#include "platform/sim/string_list.h"

namespace osxnatives::platform::sim {

std::optional<std::vector<std::optional<std::string>>> StringList(const Scenario& scenario,
                                                                  std::string_view key) {
  const nlohmann::json* value = scenario.Find(key);
  if (value == nullptr) {
    return std::nullopt;
  }
  if (!value->is_array()) {
    Warn("scenario key \"" + std::string(key) +
         "\" is not an array; using what the machine reports");
    return std::nullopt;
  }
  std::vector<std::optional<std::string>> list;
  for (size_t i = 0; i < value->size(); ++i) {
    const nlohmann::json& entry = (*value)[i];
    if (entry.is_string()) {
      list.emplace_back(entry.get<std::string>());
    } else if (entry.is_null()) {
      list.emplace_back(std::nullopt);
    } else {
      Warn(std::string(key) + "[" + std::to_string(i) + "] is not a string; left out");
    }
  }
  return list;
}

}  // namespace osxnatives::platform::sim
