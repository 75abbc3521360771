#include "checks/log_peripherals.h"

#include "platform/io_kit.h"
#include "platform/unicode_text.h"

namespace osxnatives {

std::string LowercaseString(std::string_view text) { return Lowercased(text); }

int64_t LogPeripherals::getConnectedUSBMouseDevices(std::string_view kind) {
  auto devices = platform::Get<platform::IORegistry>().MatchingServiceProperties(
      platform::kIOUSBDeviceClassName);
  if (!devices) {
    return 0;
  }
  int64_t count = 0;
  for (const platform::IORegistryProperties& properties : *devices) {
    if (!properties || !properties->is_object() || properties->empty()) {
      continue;
    }
    auto product = properties->find(platform::kUSBProductString);
    if (product == properties->end() || !product->is_string()) {
      continue;
    }
    const std::string name = LowercaseString(product->get_ref<const std::string&>());
    // An empty kind is never found, as with NSString's containsString:.
    if (!kind.empty() && name.find(kind) != std::string::npos &&
        name.find(kBuiltInWord) == std::string::npos) {
      ++count;
    }
  }
  return count;
}

}  // namespace osxnatives
