#include "platform/linux/proxy_settings.h"

#include <ifaddrs.h>
#include <net/if.h>

#include <algorithm>
#include <memory>

#include "platform/sim/desktop.h"
#include "platform/sim/string_list.h"

namespace osxnatives::platform {

template <>
CFNetwork& Registry<CFNetwork>::Default() {
  static auto* const settings = new os::SystemProxySettings(sim::Desktop::Instance().scenario());
  return *settings;
}

namespace os {

SystemProxySettings::SystemProxySettings(const sim::Scenario& scenario) {
  if (auto list = sim::StringList(scenario, "networkInterfaces")) {
    names_.emplace();
    for (auto& name : *list) {
      if (name) {
        names_->push_back(std::move(*name));
      }
    }
  }
}

std::optional<nlohmann::json> SystemProxySettings::CopySystemProxySettings() {
  std::optional<std::vector<std::string>> names = names_ ? names_ : UpInterfaceNames();
  if (!names) {
    return std::nullopt;
  }
  nlohmann::json scoped = nlohmann::json::object();
  for (const auto& name : *names) {
    scoped[name] = nlohmann::json::object();
  }
  return nlohmann::json{{kSCPropNetProxiesScoped, std::move(scoped)}};
}

std::optional<std::vector<std::string>> UpInterfaceNames() {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) {
    return std::nullopt;
  }
  std::unique_ptr<ifaddrs, decltype(&freeifaddrs)> owner(list, &freeifaddrs);
  // getifaddrs gives one entry per interface and address family.
  std::vector<std::string> names;
  for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_name == nullptr || (entry->ifa_flags & IFF_UP) == 0) {
      continue;
    }
    std::string name = entry->ifa_name;
    if (std::find(names.begin(), names.end(), name) == names.end()) {
      names.push_back(name);
    }
  }
  return names;
}

}  // namespace os
}  // namespace osxnatives::platform
