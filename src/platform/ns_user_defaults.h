// NSUserDefaults: preference domains of the user.
#ifndef OSXNATIVES_PLATFORM_NS_USER_DEFAULTS_H_
#define OSXNATIVES_PLATFORM_NS_USER_DEFAULTS_H_

#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/registry.h"

namespace osxnatives::platform {

// One opened preference domain (an `NSUserDefaults` instance).
class UserDefaultsSuite {
 public:
  virtual ~UserDefaultsSuite() = default;
  // `setInteger:forKey:`. The value is stored as an integer, never a boolean.
  virtual void SetInteger(std::string_view key, int64_t value) = 0;
};

class NSUserDefaults {
 public:
  virtual ~NSUserDefaults() = default;
  // `initWithSuiteName:`. Returns null when the domain cannot be opened, as
  // macOS does for "NSGlobalDomain" and for the application's own bundle
  // identifier. Thread-safe.
  virtual std::unique_ptr<UserDefaultsSuite> InitWithSuiteName(std::string_view suite) = 0;
};

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_NS_USER_DEFAULTS_H_
