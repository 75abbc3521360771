#include "integrity/capture_protection.h"

#include <nlohmann/json.hpp>

#include "platform/ns_window_sharing.h"

namespace osxnatives::integrity {

using nlohmann::json;

CaptureProtection& CaptureProtection::Instance() {
  static auto* const protection = new CaptureProtection();
  return *protection;
}

std::string CaptureProtection::Protect() {
  std::lock_guard<std::mutex> lock(mutex_);
  auto& sharing = platform::Get<platform::NSWindowSharing>();
  const platform::HostWindowList list = sharing.windows();
  if (list.unknownReason) {
    return json{{"status", "unknown"}, {"reason", *list.unknownReason}}.dump();
  }
  json windows = json::array();
  for (const platform::HostWindow& window : list.windows) {
    const bool known = remembered_.count(window.windowNumber) != 0;
    const bool change = window.sharingType != platform::kNSWindowSharingNone;
    bool changed = false;
    if (change) {
      changed = sharing.setSharingType(window.windowNumber, platform::kNSWindowSharingNone);
    }
    // Only a window we set (or that had none of its own) is remembered.
    if (!known && (changed || !change)) remembered_[window.windowNumber] = window.sharingType;
    windows.push_back({{"windowNumber", window.windowNumber},
                       {"previous", known ? remembered_[window.windowNumber] : window.sharingType},
                       {"changed", changed}});
  }
  return json{{"status", "known"}, {"windows", windows}}.dump();
}

std::string CaptureProtection::Restore() {
  std::lock_guard<std::mutex> lock(mutex_);
  auto& sharing = platform::Get<platform::NSWindowSharing>();
  json windows = json::array();
  for (const auto& [number, value] : remembered_) {
    const bool present = sharing.setSharingType(number, value);
    windows.push_back({{"windowNumber", number}, {"restored", value}, {"present", present}});
  }
  remembered_.clear();
  return json{{"status", "known"}, {"windows", windows}}.dump();
}

}  // namespace osxnatives::integrity
