// AVFoundation capture-device authorisation: whether the application may use
// the camera or the microphone, and the request that asks the user.
#ifndef OSXNATIVES_PLATFORM_AV_CAPTURE_DEVICE_H_
#define OSXNATIVES_PLATFORM_AV_CAPTURE_DEVICE_H_

#include <cstdint>
#include <functional>
#include <string_view>

#include "platform/registry.h"

namespace osxnatives::platform {

// `AVMediaType` values.
inline constexpr char kAVMediaTypeAudio[] = "soun";
inline constexpr char kAVMediaTypeVideo[] = "vide";

// `AVAuthorizationStatus` values.
inline constexpr int64_t kAVAuthorizationStatusNotDetermined = 0;
inline constexpr int64_t kAVAuthorizationStatusRestricted = 1;
inline constexpr int64_t kAVAuthorizationStatusDenied = 2;
inline constexpr int64_t kAVAuthorizationStatusAuthorized = 3;

class AVCaptureDevice {
 public:
  virtual ~AVCaptureDevice() = default;
  // `[AVCaptureDevice authorizationStatusForMediaType:]`. Thread-safe.
  virtual int64_t authorizationStatusForMediaType(std::string_view mediaType) = 0;
  // `[AVCaptureDevice requestAccessForMediaType:completionHandler:]`. Returns
  // at once; `completionHandler` is called exactly once with the answer: for
  // the two media types above later, on a platform thread that is never the
  // caller's; for any other text it is false, and may come at once on the
  // calling thread. What the handler throws is dropped. Thread-safe.
  virtual void requestAccessForMediaType(std::string_view mediaType,
                                         std::function<void(bool granted)> completionHandler) = 0;
};

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_AV_CAPTURE_DEVICE_H_
