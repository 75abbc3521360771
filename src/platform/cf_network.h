// CFNetwork: the system's proxy configuration, of which the checks read only
// the names of the interfaces that carry settings of their own.
#ifndef OSXNATIVES_PLATFORM_CF_NETWORK_H_
#define OSXNATIVES_PLATFORM_CF_NETWORK_H_

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace osxnatives::platform {

// Key of the member that maps interface names to their own proxy settings.
inline constexpr char kSCPropNetProxiesScoped[] = "__SCOPED__";

class CFNetwork {
 public:
  virtual ~CFNetwork() = default;
  // `CFNetworkCopySystemProxySettings()` as a JSON object, or nullopt when the
  // platform has none. "__SCOPED__", when present, is an object whose keys are
  // interface names and whose values are their proxy settings. Thread-safe.
  virtual std::optional<nlohmann::json> CopySystemProxySettings() = 0;
};

// {"__SCOPED__": {<name>: {}, …}}: proxy settings in which each of `names`
// carries settings of its own (empty ones).
inline nlohmann::json ScopedProxySettings(const std::vector<std::string>& names) {
  nlohmann::json scoped = nlohmann::json::object();
  for (const auto& name : names) {
    scoped[name] = nlohmann::json::object();
  }
  return nlohmann::json{{kSCPropNetProxiesScoped, std::move(scoped)}};
}

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_CF_NETWORK_H_
