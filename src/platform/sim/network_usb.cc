#include "platform/sim/network_usb.h"

#include "platform/sim/string_list.h"

namespace osxnatives::platform::sim {

std::optional<std::vector<IORegistryProperties>> SimUsbRegistry::MatchingServiceProperties(
    std::string_view className) {
  std::vector<IORegistryProperties> devices;
  if (className != kIOUSBDeviceClassName) {
    return devices;
  }
  for (const auto& product : products_) {
    nlohmann::json properties = nlohmann::json::object();
    if (product) {
      properties[kUSBProductString] = *product;
    }
    devices.emplace_back(std::move(properties));
  }
  return devices;
}

std::unique_ptr<CFNetwork> ProxySettingsFromScenario(const Scenario& scenario) {
  auto list = StringList(scenario, "networkInterfaces");
  if (!list) {
    return nullptr;
  }
  std::vector<std::string> names;
  for (auto& name : *list) {
    if (name) {
      names.push_back(std::move(*name));
    }
  }
  return std::make_unique<SimProxySettings>(std::move(names));
}

std::unique_ptr<IORegistry> UsbRegistryFromScenario(const Scenario& scenario) {
  auto products = StringList(scenario, "usbProducts");
  if (!products) {
    return nullptr;
  }
  return std::make_unique<SimUsbRegistry>(std::move(*products));
}

}  // namespace osxnatives::platform::sim
