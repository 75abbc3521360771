#include "checks/display_handler_swift.h"

#include <algorithm>
#include <vector>

#include "common/host.h"
#include "platform/cg_display.h"

namespace osxnatives {
namespace {

// Display ids are unsigned; the log lines show them as signed 32-bit numbers.
std::string Signed(platform::CGDirectDisplayID id) {
  return std::to_string(static_cast<int32_t>(id));
}

}  // namespace

void DisplayHandlerSwift::captureDisplay() {
  const uint32_t maxDisplays = platform::Get<platform::NSScreen>().screensCount();
  Log("Requested screen count from system: maxDisplays=" + std::to_string(maxDisplays), "INFO");
  auto& displays = platform::Get<platform::CGDisplay>();
  std::vector<platform::CGDirectDisplayID> active(maxDisplays, 0);
  uint32_t count = 0;
  const platform::CGError error =
      displays.CGGetActiveDisplayList(maxDisplays, active.data(), &count);
  if (error != platform::kCGErrorSuccess) {
    Log("Error getting the active display list: err=" + std::to_string(error), "ERROR");
    return;
  }
  const platform::CGDirectDisplayID mainDisplay = displays.CGMainDisplayID();
  Log("Showing main display: mainDisplayId=" + Signed(mainDisplay), "INFO");
  count = std::min(count, maxDisplays);
  for (uint32_t i = 0; i < count; ++i) {
    if (active[i] == mainDisplay) {
      continue;
    }
    Log("Hiding non-main display: displayId=" + Signed(active[i]), "INFO");
    displays.CGDisplayCapture(active[i]);
  }
}

void DisplayHandlerSwift::releaseDisplay() {
  const uint32_t maxDisplays = platform::Get<platform::NSScreen>().screensCount();
  auto& displays = platform::Get<platform::CGDisplay>();
  std::vector<platform::CGDirectDisplayID> active(maxDisplays, 0);
  uint32_t count = 0;
  if (displays.CGGetActiveDisplayList(maxDisplays, active.data(), &count) !=
      platform::kCGErrorSuccess) {
    return;
  }
  count = std::min(count, maxDisplays);
  for (uint32_t i = 0; i < count; ++i) {
    Log("Releasing display: displayId=" + Signed(active[i]), "INFO");
    displays.CGDisplayRelease(active[i]);
  }
}

int64_t DisplayHandlerSwift::getDisplayCount() {
  std::vector<platform::CGDirectDisplayID> online(kMaxOnlineDisplays, 0);
  uint32_t count = 0;
  if (platform::Get<platform::CGDisplay>().CGGetOnlineDisplayList(
          kMaxOnlineDisplays, online.data(), &count) != platform::kCGErrorSuccess) {
    Log("Error getting the number of display list", "ERROR");
    return 1;
  }
  return std::min(count, kMaxOnlineDisplays);
}

std::optional<std::string> DisplayHandlerSwift::getMainScreenName() {
  return platform::Get<platform::NSScreen>().mainScreenLocalizedName();
}

}  // namespace osxnatives
