// AVFoundation capture-device discovery: the video capture devices the system
// offers (built-in, USB, Continuity and virtual cameras). On Linux, the
// video4linux devices and their drivers.
#ifndef OSXNATIVES_PLATFORM_AV_CAPTURE_DISCOVERY_H_
#define OSXNATIVES_PLATFORM_AV_CAPTURE_DISCOVERY_H_

#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace osxnatives::platform {

// A snapshot of one `AVCaptureDevice`; each field nullopt when the platform
// has no value for it.
struct CaptureDeviceInfo {
  std::optional<std::string> uniqueID;
  std::optional<std::string> localizedName;
  std::optional<std::string> modelID;
  std::optional<std::string> manufacturer;
  // `AVCaptureDeviceType` (e.g. "AVCaptureDeviceTypeBuiltInWideAngleCamera"),
  // or on Linux the name of the driver.
  std::optional<std::string> deviceType;
  // macOS 13 and later: `AVCaptureDeviceTypeContinuityCamera` or
  // `isContinuityCamera`; nullopt where the system cannot say.
  std::optional<bool> continuityCamera;
};

struct CaptureDeviceList {
  std::vector<CaptureDeviceInfo> devices;
  // Set when the list could not be read at all (then `devices` is empty).
  std::optional<std::string> unknownReason;
};

class AVCaptureDeviceDiscovery {
 public:
  virtual ~AVCaptureDeviceDiscovery() = default;
  // `AVCaptureDeviceDiscoverySession` for video devices at any position, read
  // afresh on each call. Devices that come or go during the call are listed or
  // not, never half. Thread-safe.
  virtual CaptureDeviceList videoDevices() = 0;
};

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_AV_CAPTURE_DISCOVERY_H_
