#include "platform/sim/window_list.h"

#include <unistd.h>

#include <string>

#include "platform/sim/services.h"

namespace osxnatives::platform {

CGWindowList& SimCGWindowList() {
  static auto* const windows =
      new sim::SimWindowList(sim::Desktop::Instance(), static_cast<int32_t>(getpid()));
  return *windows;
}

namespace sim {

SimWindowList::SimWindowList(Desktop& desktop, int32_t host_pid) {
  const nlohmann::json* list = desktop.scenario().Find("windows");
  if (list == nullptr) {
    return;
  }
  if (!list->is_array()) {
    Warn("scenario key \"windows\" is not an array; using its default");
    return;
  }
  for (size_t i = 0; i < list->size(); ++i) {
    const nlohmann::json& entry = (*list)[i];
    const std::string where = "windows[" + std::to_string(i) + "]";
    if (!entry.is_object()) {
      Warn(where + " is not an object; skipped");
      continue;
    }
    Window window;
    if (auto owner = entry.find("ownerPid"); owner != entry.end() && !owner->is_null()) {
      if (owner->is_number()) {
        const double pid = owner->get<double>();
        window.info.ownerPID = pid == 0 ? static_cast<double>(host_pid) : pid;
      } else {
        Warn(where + ".ownerPid is not a number; the window has no owner");
      }
    }
    if (auto on_screen = entry.find("onScreen");
        on_screen != entry.end() && !on_screen->is_null()) {
      if (on_screen->is_boolean()) {
        window.on_screen = on_screen->get<bool>();
      } else {
        Warn(where + ".onScreen is not a boolean; the window is on screen");
      }
    }
    windows_.push_back(window);
  }
}

std::optional<std::vector<CGWindowInfo>> SimWindowList::CGWindowListCopyWindowInfo(
    uint32_t option, uint32_t /*relativeToWindow*/) {
  constexpr uint32_t kOnScreen = kCGWindowListOptionOnScreenOnly |
                                 kCGWindowListOptionOnScreenAboveWindow |
                                 kCGWindowListOptionOnScreenBelowWindow;
  const bool on_screen_only = (option & kOnScreen) != 0;
  std::vector<CGWindowInfo> result;
  for (const Window& window : windows_) {
    if (on_screen_only && !window.on_screen) {
      continue;
    }
    result.push_back(window.info);
  }
  return result;
}

}  // namespace sim
}  // namespace osxnatives::platform
