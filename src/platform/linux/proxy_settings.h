// CFNetwork proxy settings on Linux: every network interface that is up counts
// as an interface with settings of its own under "__SCOPED__".
#ifndef OSXNATIVES_PLATFORM_LINUX_PROXY_SETTINGS_H_
#define OSXNATIVES_PLATFORM_LINUX_PROXY_SETTINGS_H_

#include <optional>
#include <string>
#include <vector>

#include "platform/cf_network.h"

namespace osxnatives::platform::os {

class SystemProxySettings : public CFNetwork {
 public:
  // {"__SCOPED__": {<name>: {}, …}}, one member per interface name; nullopt
  // when the machine's interfaces cannot be listed.
  std::optional<nlohmann::json> CopySystemProxySettings() override;
};

// Names of the network interfaces whose administrative state is up
// (`getifaddrs`, IFF_UP), each once, in the order the kernel lists them.
// Returns nullopt when they cannot be listed.
std::optional<std::vector<std::string>> UpInterfaceNames();

}  // namespace osxnatives::platform::os

#endif  // OSXNATIVES_PLATFORM_LINUX_PROXY_SETTINGS_H_
