// NSProcessInfo's `operatingSystemVersion`: the version of macOS the process
// runs on.
#ifndef OSXNATIVES_PLATFORM_NS_OPERATING_SYSTEM_VERSION_H_
#define OSXNATIVES_PLATFORM_NS_OPERATING_SYSTEM_VERSION_H_

#include <cstdint>
#include <tuple>

#include "platform/registry.h"

namespace osxnatives::platform {

struct NSOperatingSystemVersion {
  int64_t majorVersion = 0;
  int64_t minorVersion = 0;
  int64_t patchVersion = 0;

  bool operator==(const NSOperatingSystemVersion&) const = default;
  // Orders by major, then minor, then patch version.
  bool operator>=(const NSOperatingSystemVersion& other) const {
    return std::tie(majorVersion, minorVersion, patchVersion) >=
           std::tie(other.majorVersion, other.minorVersion, other.patchVersion);
  }
};

class OperatingSystemVersionInfo {
 public:
  virtual ~OperatingSystemVersionInfo() = default;
  // `[[NSProcessInfo processInfo] operatingSystemVersion]`. Thread-safe.
  virtual NSOperatingSystemVersion operatingSystemVersion() = 0;
};

// `[[NSProcessInfo processInfo] isOperatingSystemAtLeastVersion:version]`.
inline bool isOperatingSystemAtLeastVersion(const NSOperatingSystemVersion& version) {
  return Get<OperatingSystemVersionInfo>().operatingSystemVersion() >= version;
}

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_NS_OPERATING_SYSTEM_VERSION_H_
