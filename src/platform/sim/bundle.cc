#include "platform/sim/bundle.h"

#include <fstream>
#include <optional>
#include <sstream>

#include "platform/ns_property_list_serialization.h"
#include "platform/sim/services.h"

namespace osxnatives::platform {

NSBundle& SimNSBundle() {
  static auto* const bundle = new sim::SimBundle(sim::Desktop::Instance());
  return *bundle;
}

namespace sim {

SimBundle::SimBundle(Desktop& desktop) {
  const Scenario& scenario = desktop.scenario();
  if (auto path = scenario.String("infoPlist")) {
    path = scenario.ResolvePath(*path);
    std::ifstream in(*path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    std::optional<nlohmann::json> parsed;
    if (in) parsed = Get<NSPropertyListSerialization>().propertyListWithData(bytes.str()).plist;
    if (parsed && parsed->is_object()) {
      info_ = std::move(*parsed);
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
