// Simulated capture-device authorisation and accessibility trust, from the
// scenario's "permissions":
//
//   {"camera": 3, "cameraRequestGranted": true,
//    "microphone": 3, "microphoneRequestGranted": true,
//    "accessibilityTrusted": true, "accessibilityGrantedAfterPolls": 0}
//
// "camera" and "microphone" are the starting `AVAuthorizationStatus` (0 not
// determined, 1 restricted, 2 denied, 3 authorised; default 3). A request
// while the status is not determined is answered with "<kind>RequestGranted"
// (default true) and the status becomes 3 or 2; a request in any other status
// is answered at once from it (yes only when authorised), as macOS does
// without asking the user again.
//
// "accessibilityTrusted" (default true) is whether the process starts trusted.
// When it is not, the user is asked by the first check with the prompt option,
// and the process turns trusted after "accessibilityGrantedAfterPolls"
// (default 0) further checks without it have answered no.
#ifndef OSXNATIVES_PLATFORM_SIM_AUTHORIZATION_H_
#define OSXNATIVES_PLATFORM_SIM_AUTHORIZATION_H_

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "platform/av_capture_device.h"
#include "platform/ax_trust.h"
#include "platform/sim/desktop.h"

namespace osxnatives::platform::sim {

// Journals "AVCaptureDevice" "requestAccessForMediaType:completionHandler:"
// {"mediaType"} for every request. Completions run, in request order, on one
// thread of the device's own, started on the first request; destruction runs
// the completions still queued and then joins it. A media type other than
// audio and video is restricted.
class SimCaptureDevice : public AVCaptureDevice {
 public:
  explicit SimCaptureDevice(Desktop& desktop);
  ~SimCaptureDevice() override;
  SimCaptureDevice(const SimCaptureDevice&) = delete;
  SimCaptureDevice& operator=(const SimCaptureDevice&) = delete;

  int64_t authorizationStatusForMediaType(std::string_view mediaType) override;
  void requestAccessForMediaType(std::string_view mediaType,
                                 std::function<void(bool granted)> completionHandler) override;

 private:
  struct Kind {
    int64_t status = kAVAuthorizationStatusAuthorized;
    bool request_granted = true;
  };
  void Run();

  Desktop& desktop_;
  std::mutex mutex_;
  std::condition_variable queued_;
  std::map<std::string, Kind, std::less<>> kinds_;  // Guarded by mutex_.
  std::deque<std::function<void()>> completions_;   // Guarded by mutex_.
  bool stopping_ = false;                           // Guarded by mutex_.
  std::thread thread_;                              // Started under mutex_.
};

// Journals "AXIsProcessTrustedWithOptions" "AXIsProcessTrustedWithOptions"
// {"prompt"} for every check.
class SimAXTrust : public AXTrust {
 public:
  explicit SimAXTrust(Desktop& desktop);
  bool AXIsProcessTrustedWithOptions(bool prompt) override;

 private:
  Desktop& desktop_;
  std::mutex mutex_;
  bool trusted_ = true;        // Guarded by mutex_.
  bool prompted_ = false;      // Guarded by mutex_.
  int64_t checks_needed_ = 0;  // Guarded by mutex_.
};

}  // namespace osxnatives::platform::sim

#endif  // OSXNATIVES_PLATFORM_SIM_AUTHORIZATION_H_
