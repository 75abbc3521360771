// CFNetwork proxy settings and the IOKit registry on macOS, both handed on as
// JSON in the property-list mapping of `platform/macos/cf_json.h`.
//
// Only IOKitLib.h is included from IOKit: its USB headers define macros named
// like the constants of `platform/io_kit.h`.
//
// The conversion creates autoreleased Foundation objects (base64 text of
// data values), so each call drains a pool of its own.
#if !__has_feature(objc_arc)
#error "This file is built with automatic reference counting (-fobjc-arc)."
#endif

#include <CFNetwork/CFNetwork.h>
#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/IOKitLib.h>

#include <string>

#include "platform/cf_network.h"
#include "platform/io_kit.h"
#include "platform/macos/cf_json.h"
#include "platform/macos/scoped_cf.h"
#include "platform/macos/services.h"
#include "platform/registry.h"

namespace osxnatives::platform::macos {
namespace {

class SystemProxySettings : public platform::CFNetwork {
 public:
  std::optional<nlohmann::json> CopySystemProxySettings() override {
    @autoreleasepool {
      const ScopedCFTypeRef<CFDictionaryRef> settings(CFNetworkCopySystemProxySettings());
      if (!settings) return std::nullopt;
      return JsonFromPropertyList(settings.get());
    }
  }
};

class IOKitRegistry : public IORegistry {
 public:
  std::optional<std::vector<IORegistryProperties>> MatchingServiceProperties(
      std::string_view className) override {
    @autoreleasepool {
      const std::string name(className);
      // Consumed by IOServiceGetMatchingServices, also when it fails.
      CFMutableDictionaryRef matching = IOServiceMatching(name.c_str());
      if (matching == nullptr) return std::nullopt;
      ScopedIOObject iterator;
      if (IOServiceGetMatchingServices(kIOMasterPortDefault, matching, iterator.InitializeInto()) !=
          KERN_SUCCESS) {
        return std::nullopt;
      }
      std::vector<IORegistryProperties> entries;
      while (const ScopedIOObject entry{IOIteratorNext(iterator.get())}) {
        ScopedCFTypeRef<CFMutableDictionaryRef> properties;
        if (IORegistryEntryCreateCFProperties(entry.get(), properties.InitializeInto(),
                                              kCFAllocatorDefault, 0) == KERN_SUCCESS &&
            properties) {
          entries.emplace_back(JsonFromPropertyList(properties.get()));
        } else {
          entries.emplace_back(std::nullopt);
        }
      }
      return entries;
    }
  }
};

}  // namespace

void RegisterNetworkAndUsb() {
  SetDefault<platform::CFNetwork>(new SystemProxySettings());
  SetDefault<IORegistry>(new IOKitRegistry());
}

}  // namespace osxnatives::platform::macos
