// The IOKit registry's USB devices on Linux: the kernel's USB device list
// (/sys/bus/usb/devices).
#ifndef OSXNATIVES_PLATFORM_LINUX_USB_REGISTRY_H_
#define OSXNATIVES_PLATFORM_LINUX_USB_REGISTRY_H_

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/io_kit.h"

namespace osxnatives::platform::os {

inline constexpr char kSysUsbDevices[] = "/sys/bus/usb/devices";

class SysfsUsbRegistry : public IORegistry {
 public:
  // The devices are the folders below `root` (one per device, root hubs
  // included; interface folders, whose names hold a ':', are not devices),
  // each with its "product" file as "kUSBProductString" when it has one.
  explicit SysfsUsbRegistry(std::filesystem::path root = kSysUsbDevices);

  // Only "IOUSBDevice" has entries; any other class matches none. A device
  // whose product file exists but cannot be read has unreadable properties.
  // Returns nullopt when `root` exists but cannot be listed; a missing `root`
  // is a machine without USB (no entries).
  std::optional<std::vector<IORegistryProperties>> MatchingServiceProperties(
      std::string_view className) override;

 private:
  std::filesystem::path root_;
};

}  // namespace osxnatives::platform::os

#endif  // OSXNATIVES_PLATFORM_LINUX_USB_REGISTRY_H_
