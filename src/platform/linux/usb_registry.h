// The IOKit registry's USB devices on Linux: the kernel's USB device list
// (/sys/bus/usb/devices), unless the scenario's "usbProducts" lists the
// product names instead.
#ifndef OSXNATIVES_PLATFORM_LINUX_USB_REGISTRY_H_
#define OSXNATIVES_PLATFORM_LINUX_USB_REGISTRY_H_

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/io_kit.h"
#include "platform/sim/scenario.h"

namespace osxnatives::platform::os {

inline constexpr char kSysUsbDevices[] = "/sys/bus/usb/devices";

class SysfsUsbRegistry : public IORegistry {
 public:
  // Reads "usbProducts" from `scenario` once: one device per entry, with the
  // entry as its "kUSBProductString", or without one for a null entry.
  // Otherwise the devices are the folders below `root` (one per device, root
  // hubs included; interface folders, whose names hold a ':', are not
  // devices), each with its "product" file as "kUSBProductString" when it
  // has one.
  explicit SysfsUsbRegistry(const sim::Scenario& scenario,
                            std::filesystem::path root = kSysUsbDevices);

  // Only "IOUSBDevice" has entries; any other class matches none. A device
  // whose product file exists but cannot be read has unreadable properties.
  // Returns nullopt when `root` exists but cannot be listed; a missing `root`
  // is a machine without USB (no entries).
  std::optional<std::vector<IORegistryProperties>> MatchingServiceProperties(
      std::string_view className) override;

 private:
  std::optional<std::vector<std::optional<std::string>>> products_;  // From the scenario.
  std::filesystem::path root_;
};

}  // namespace osxnatives::platform::os

#endif  // OSXNATIVES_PLATFORM_LINUX_USB_REGISTRY_H_
