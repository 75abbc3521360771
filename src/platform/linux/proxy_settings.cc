#include "platform/linux/proxy_settings.h"

#include <ifaddrs.h>
#include <net/if.h>

#include <algorithm>
#include <memory>

#include "platform/linux/services.h"

namespace osxnatives::platform {

CFNetwork& LinuxCFNetwork() {
  static auto* const settings = new os::SystemProxySettings();
  return *settings;
}

namespace os {

std::optional<nlohmann::json> SystemProxySettings::CopySystemProxySettings() {
  std::optional<std::vector<std::string>> names = UpInterfaceNames();
  if (!names) {
    return std::nullopt;
  }
  return ScopedProxySettings(*names);
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
