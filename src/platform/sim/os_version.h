// Simulated operating-system version, from the scenario key "osVersion".
#ifndef OSXNATIVES_PLATFORM_SIM_OS_VERSION_H_
#define OSXNATIVES_PLATFORM_SIM_OS_VERSION_H_

#include <optional>
#include <string_view>

#include "platform/ns_operating_system_version.h"
#include "platform/sim/desktop.h"

namespace osxnatives::platform::sim {

// "osVersion" is "major[.minor[.patch]]" ("14.2"); a JSON number (13.5) is
// read the same way. Absent gives 14.0.0; anything else gives one `Warn` line
// and 14.0.0.
class SimOperatingSystemVersion : public OperatingSystemVersionInfo {
 public:
  static constexpr NSOperatingSystemVersion kDefault{14, 0, 0};

  explicit SimOperatingSystemVersion(const Desktop& desktop);
  NSOperatingSystemVersion operatingSystemVersion() override { return version_; }

  // Parses "major[.minor[.patch]]" of non-negative decimal numbers; nullopt
  // for anything else.
  static std::optional<NSOperatingSystemVersion> Parse(std::string_view text);

 private:
  NSOperatingSystemVersion version_ = kDefault;
};

}  // namespace osxnatives::platform::sim

#endif  // OSXNATIVES_PLATFORM_SIM_OS_VERSION_H_
