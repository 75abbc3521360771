// IOKit registry: the devices of one registry class and their properties.
#ifndef OSXNATIVES_PLATFORM_IO_KIT_H_
#define OSXNATIVES_PLATFORM_IO_KIT_H_

#include <nlohmann/json.hpp>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace osxnatives::platform {

// Registry class of USB devices, and the property holding a device's product
// name.
inline constexpr char kIOUSBDeviceClassName[] = "IOUSBDevice";
inline constexpr char kUSBProductString[] = "kUSBProductString";

// One registry entry's properties, as `IORegistryEntryCreateCFProperties`
// gives them (a JSON object, normally), or nullopt when they cannot be read.
using IORegistryProperties = std::optional<nlohmann::json>;

class IORegistry {
 public:
  virtual ~IORegistry() = default;
  // `IOServiceGetMatchingServices(kIOMasterPortDefault,
  // IOServiceMatching(className))`, walked to the end with `IOIteratorNext`,
  // with each entry's properties. Entries are in iterator order and are
  // released by the platform. Returns nullopt when the services cannot be
  // matched (a non-zero status). Thread-safe.
  virtual std::optional<std::vector<IORegistryProperties>> MatchingServiceProperties(
      std::string_view className) = 0;
};

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_IO_KIT_H_
