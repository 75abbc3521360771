// UtilitySwift: Info.plist values and the permission requests.
#include <string>

#include "common/host.h"
#include "platform/av_capture_device.h"
#include "platform/ax_trust.h"
#include "platform/ns_bundle.h"
#include "platform/ns_thread.h"
#include "utility/utility_swift.h"

namespace osxnatives {
namespace {

constexpr double kAccessibilityPollSeconds = 1.0;

// Asks for access to `mediaType` unless it is authorised, and logs the answer
// from the platform's completion thread.
void RequestCaptureAccess(const char* mediaType, const char* granted, const char* refused) {
  auto& device = platform::Get<platform::AVCaptureDevice>();
  if (device.authorizationStatusForMediaType(mediaType) ==
      platform::kAVAuthorizationStatusAuthorized) {
    return;
  }
  device.requestAccessForMediaType(
      mediaType, [granted, refused](bool answer) { Log(answer ? granted : refused, "INFO"); });
}

}  // namespace

std::string UtilitySwift::getInfoPlistProperty(std::string_view key) {
  const nlohmann::json info = platform::Get<platform::NSBundle>().infoDictionary();
  if (!info.is_object() || info.empty()) {
    return "";
  }
  auto value = info.find(key);
  if (value == info.end() || !value->is_string()) {
    return "";
  }
  return value->get<std::string>();
}

void UtilitySwift::requestMicrophonePermission() {
  RequestCaptureAccess(platform::kAVMediaTypeAudio, "Audio authorized", "Audio not authorized");
}

void UtilitySwift::requestCameraPermission() {
  RequestCaptureAccess(platform::kAVMediaTypeVideo, "Camera authorized", "Camera not authorized");
}

void UtilitySwift::requestAccessibilityPermission() {
  auto& trust = platform::Get<platform::AXTrust>();
  const char* message = "User already had accessibility permissions for Kestrelgate application";
  if (!trust.AXIsProcessTrustedWithOptions(/*prompt=*/true)) {
    while (!trust.AXIsProcessTrustedWithOptions(/*prompt=*/false)) {
      platform::Get<platform::NSThread>().sleepForTimeInterval(kAccessibilityPollSeconds);
    }
    message = "User provided accessibility permissions to Kestrelgate application";
  }
  Log(message, "INFO");
}

}  // namespace osxnatives
