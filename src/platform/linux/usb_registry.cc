#include "platform/linux/usb_registry.h"

#include <algorithm>
#include <fstream>
#include <system_error>

#include "platform/linux/services.h"

namespace osxnatives::platform {

IORegistry& LinuxIORegistry() {
  static auto* const registry = new os::SysfsUsbRegistry();
  return *registry;
}

namespace os {
namespace {

namespace fs = std::filesystem;

// The first line of a sysfs attribute file; nullopt when it cannot be read.
std::optional<std::string> ReadAttribute(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    return std::nullopt;
  }
  std::string line;
  std::getline(in, line);
  if (in.bad()) {
    return std::nullopt;
  }
  return line;
}

IORegistryProperties DeviceProperties(const fs::path& device) {
  nlohmann::json properties = nlohmann::json::object();
  for (const auto& [file, key] :
       {std::pair{"idVendor", "idVendor"}, std::pair{"idProduct", "idProduct"},
        std::pair{"product", kUSBProductString}}) {
    std::error_code error;
    if (!fs::exists(device / file, error)) {
      continue;
    }
    std::optional<std::string> value = ReadAttribute(device / file);
    if (!value) {
      return std::nullopt;
    }
    properties[key] = *value;
  }
  return properties;
}

}  // namespace

SysfsUsbRegistry::SysfsUsbRegistry(std::filesystem::path root) : root_(std::move(root)) {}

std::optional<std::vector<IORegistryProperties>> SysfsUsbRegistry::MatchingServiceProperties(
    std::string_view className) {
  std::vector<IORegistryProperties> devices;
  if (className != kIOUSBDeviceClassName) {
    return devices;
  }
  std::error_code error;
  if (!fs::exists(root_, error)) {
    if (error) {
      return std::nullopt;
    }
    return devices;
  }
  fs::directory_iterator it(root_, error);
  if (error) {
    return std::nullopt;
  }
  std::vector<fs::path> folders;
  for (; it != fs::directory_iterator(); it.increment(error)) {
    if (error) {
      return std::nullopt;
    }
    if (it->path().filename().string().find(':') == std::string::npos) {
      folders.push_back(it->path());
    }
  }
  // Bus order (the kernel lists the folder in no particular order).
  std::sort(folders.begin(), folders.end());
  for (const auto& folder : folders) {
    devices.push_back(DeviceProperties(folder));
  }
  return devices;
}

}  // namespace os
}  // namespace osxnatives::platform
