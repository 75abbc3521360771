// Scenario stand-ins for the network interfaces and the USB devices. The
// simulated desktop registers them only when the scenario names
// "networkInterfaces" or "usbProducts"; otherwise the real backend answers.
#ifndef OSXNATIVES_PLATFORM_SIM_NETWORK_USB_H_
#define OSXNATIVES_PLATFORM_SIM_NETWORK_USB_H_

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/cf_network.h"
#include "platform/io_kit.h"
#include "platform/sim/scenario.h"

namespace osxnatives::platform::sim {

class SimProxySettings : public CFNetwork {
 public:
  explicit SimProxySettings(std::vector<std::string> interface_names)
      : names_(std::move(interface_names)) {}
  // {"__SCOPED__": {<name>: {}, …}} for the scenario's interface names.
  std::optional<nlohmann::json> CopySystemProxySettings() override {
    return ScopedProxySettings(names_);
  }

 private:
  const std::vector<std::string> names_;
};

class SimUsbRegistry : public IORegistry {
 public:
  // One device per entry, with the entry as its "kUSBProductString", or
  // without one for an absent entry.
  explicit SimUsbRegistry(std::vector<std::optional<std::string>> products)
      : products_(std::move(products)) {}
  // Only "IOUSBDevice" has entries; any other class matches none.
  std::optional<std::vector<IORegistryProperties>> MatchingServiceProperties(
      std::string_view className) override;

 private:
  const std::vector<std::optional<std::string>> products_;
};

// The stand-in for the scenario's "networkInterfaces" (null entries left out),
// or null when the scenario has no such list or it is malformed (one `Warn`
// line); the machine's interfaces are then used.
std::unique_ptr<CFNetwork> ProxySettingsFromScenario(const Scenario& scenario);

// The stand-in for the scenario's "usbProducts", or null as above.
std::unique_ptr<IORegistry> UsbRegistryFromScenario(const Scenario& scenario);

}  // namespace osxnatives::platform::sim

#endif  // OSXNATIVES_PLATFORM_SIM_NETWORK_USB_H_
