#include "checks/vpn_check.h"

#include "platform/cf_network.h"

namespace osxnatives {

int64_t VPNCheck::checkVpn() {
  std::optional<nlohmann::json> settings =
      platform::Get<platform::CFNetwork>().CopySystemProxySettings();
  if (!settings || !settings->is_object()) {
    return 0;
  }
  auto scoped = settings->find(platform::kSCPropNetProxiesScoped);
  if (scoped == settings->end() || !scoped->is_object() || scoped->empty()) {
    return 0;
  }
  for (const auto& [name, ignored] : scoped->items()) {
    for (std::string_view prefix : kVpnInterfacePrefixes) {
      if (std::string_view(name).starts_with(prefix)) {
        return 1;
      }
    }
  }
  return 0;
}

}  // namespace osxnatives
