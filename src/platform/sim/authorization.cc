#include "platform/sim/authorization.h"

#include "platform/sim/services.h"

namespace osxnatives::platform {

AVCaptureDevice& SimAVCaptureDevice() {
  // Never destroyed: its completion thread serves the process until it ends.
  static auto* const device = new sim::SimCaptureDevice(sim::Desktop::Instance());
  return *device;
}

AXTrust& SimAXTrust() {
  static auto* const trust = new sim::SimAXTrust(sim::Desktop::Instance());
  return *trust;
}

namespace sim {
namespace {

const nlohmann::json& Permissions(const Scenario& scenario) {
  static const nlohmann::json kNone = nlohmann::json::object();
  const nlohmann::json* permissions = scenario.Find("permissions");
  if (permissions == nullptr) {
    return kNone;
  }
  if (!permissions->is_object()) {
    Warn("scenario key \"permissions\" is not an object; every permission is granted");
    return kNone;
  }
  return *permissions;
}

// permissions.<key> when it holds an integer in [low, high] (or a boolean,
// for bool), else `fallback` with one `Warn` line when it is present.
template <typename T>
T Member(const nlohmann::json& permissions, const char* key, T fallback, int64_t low = 0,
         int64_t high = 0) {
  auto it = permissions.find(key);
  if (it == permissions.end() || it->is_null()) {
    return fallback;
  }
  if constexpr (std::is_same_v<T, bool>) {
    if (it->is_boolean()) {
      return it->template get<bool>();
    }
    Warn(std::string("permissions.") + key + " is not a boolean; using its default");
  } else {
    if (it->is_number_integer() && it->template get<int64_t>() >= low &&
        it->template get<int64_t>() <= high) {
      return it->template get<int64_t>();
    }
    Warn(std::string("permissions.") + key + " is not an integer from " + std::to_string(low) +
         " to " + std::to_string(high) + "; using its default");
  }
  return fallback;
}

}  // namespace

SimCaptureDevice::SimCaptureDevice(Desktop& desktop) : desktop_(desktop) {
  const nlohmann::json& permissions = Permissions(desktop.scenario());
  for (const auto& [type, name] :
       {std::pair{kAVMediaTypeAudio, "microphone"}, std::pair{kAVMediaTypeVideo, "camera"}}) {
    Kind& kind = kinds_[type];
    kind.status =
        Member<int64_t>(permissions, name, kAVAuthorizationStatusAuthorized,
                        kAVAuthorizationStatusNotDetermined, kAVAuthorizationStatusAuthorized);
    kind.request_granted =
        Member<bool>(permissions, (std::string(name) + "RequestGranted").c_str(), true);
  }
}

SimCaptureDevice::~SimCaptureDevice() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  queued_.notify_all();
  if (thread_.joinable()) {
    thread_.join();
  }
}

int64_t SimCaptureDevice::authorizationStatusForMediaType(std::string_view mediaType) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = kinds_.find(mediaType);
  return it == kinds_.end() ? kAVAuthorizationStatusRestricted : it->second.status;
}

void SimCaptureDevice::requestAccessForMediaType(
    std::string_view mediaType, std::function<void(bool granted)> completionHandler) {
  desktop_.journal().Record("AVCaptureDevice", "requestAccessForMediaType:completionHandler:",
                            {{"mediaType", mediaType}});
  {
    std::lock_guard<std::mutex> lock(mutex_);
    bool granted = false;
    if (auto it = kinds_.find(mediaType); it != kinds_.end()) {
      Kind& kind = it->second;
      if (kind.status == kAVAuthorizationStatusNotDetermined) {
        kind.status =
            kind.request_granted ? kAVAuthorizationStatusAuthorized : kAVAuthorizationStatusDenied;
      }
      granted = kind.status == kAVAuthorizationStatusAuthorized;
    }
    completions_.emplace_back([handler = std::move(completionHandler), granted] {
      if (handler) {
        handler(granted);
      }
    });
    if (!thread_.joinable()) {
      thread_ = std::thread([this] { Run(); });
    }
  }
  queued_.notify_one();
}

void SimCaptureDevice::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    queued_.wait(lock, [this] { return stopping_ || !completions_.empty(); });
    if (completions_.empty()) {
      return;  // Stopping, and nothing left to answer.
    }
    std::function<void()> completion = std::move(completions_.front());
    completions_.pop_front();
    lock.unlock();
    completion();
    lock.lock();
  }
}

SimAXTrust::SimAXTrust(Desktop& desktop) : desktop_(desktop) {
  const nlohmann::json& permissions = Permissions(desktop.scenario());
  trusted_ = Member<bool>(permissions, "accessibilityTrusted", true);
  checks_needed_ = Member<int64_t>(permissions, "accessibilityGrantedAfterPolls", 0, 0, INT32_MAX);
}

bool SimAXTrust::AXIsProcessTrustedWithOptions(bool prompt) {
  desktop_.journal().Record("AXIsProcessTrustedWithOptions", "AXIsProcessTrustedWithOptions",
                            {{"prompt", prompt}});
  std::lock_guard<std::mutex> lock(mutex_);
  if (trusted_) {
    return true;
  }
  if (prompt) {
    prompted_ = true;
  } else if (prompted_) {
    // The user answers the prompt after this many further checks.
    if (checks_needed_ == 0) {
      trusted_ = true;
    } else {
      --checks_needed_;
    }
  }
  return trusted_;
}

}  // namespace sim
}  // namespace osxnatives::platform
