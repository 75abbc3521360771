// CFNetwork proxy settings and the IOKit registry on macOS, both handed on as
// JSON in the property-list mapping of `platform/macos/cf_json.h`.
//
// Only IOKitLib.h is included from IOKit: its USB headers define macros named
// like the constants of `platform/io_kit.h`.
#include <CFNetwork/CFNetwork.h>
#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/IOKitLib.h>

#include <string>

#include "platform/cf_network.h"
#include "platform/io_kit.h"
#include "platform/macos/cf_json.h"
#include "platform/macos/services.h"
#include "platform/registry.h"

namespace osxnatives::platform::macos {
namespace {

class SystemProxySettings : public platform::CFNetwork {
 public:
  std::optional<nlohmann::json> CopySystemProxySettings() override {
    CFDictionaryRef settings = CFNetworkCopySystemProxySettings();
    if (settings == nullptr) {
      return std::nullopt;
    }
    nlohmann::json converted = JsonFromPropertyList(settings);
    CFRelease(settings);
    return converted;
  }
};

class IOKitRegistry : public IORegistry {
 public:
  std::optional<std::vector<IORegistryProperties>> MatchingServiceProperties(
      std::string_view className) override {
    const std::string name(className);
    CFMutableDictionaryRef matching = IOServiceMatching(name.c_str());
    if (matching == nullptr) {
      return std::nullopt;
    }
    io_iterator_t iterator = IO_OBJECT_NULL;
    // Consumes `matching`, also when it fails.
    if (IOServiceGetMatchingServices(kIOMasterPortDefault, matching, &iterator) != KERN_SUCCESS) {
      return std::nullopt;
    }
    std::vector<IORegistryProperties> entries;
    while (io_object_t entry = IOIteratorNext(iterator)) {
      CFMutableDictionaryRef properties = nullptr;
      if (IORegistryEntryCreateCFProperties(entry, &properties, kCFAllocatorDefault, 0) ==
              KERN_SUCCESS &&
          properties != nullptr) {
        entries.emplace_back(JsonFromPropertyList(properties));
        CFRelease(properties);
      } else {
        entries.emplace_back(std::nullopt);
      }
      IOObjectRelease(entry);
    }
    IOObjectRelease(iterator);
    return entries;
  }
};

}  // namespace

void RegisterNetworkAndUsb() {
  SetDefault<platform::CFNetwork>(new SystemProxySettings());
  SetDefault<IORegistry>(new IOKitRegistry());
}

}  // namespace osxnatives::platform::macos
