#include "platform/sim/window_list.h"

#include <unistd.h>

#include <algorithm>
#include <iterator>
#include <string>

#include "platform/sim/services.h"

namespace osxnatives::platform {
namespace {
constexpr const char* kBoundsKeys[] = {"x", "y", "width", "height"};
}  // namespace

CGWindowList& SimCGWindowList() {
  static auto* const windows =
      new sim::SimWindowList(sim::Desktop::Instance(), static_cast<int32_t>(getpid()));
  return *windows;
}

namespace sim {
namespace {

// The integrity keys of one "windows" entry: "windowNumber", "ownerName",
// "layer", "alpha", "sharingState", "bounds" {"x","y","width","height"}. A
// value of another type is reported and left out, as the real dictionary
// would leave out a key it does not have.
void ReadDescription(const nlohmann::json& entry, const std::string& where, CGWindowInfo& info) {
  auto number = [&](const char* key) -> const nlohmann::json* {
    auto it = entry.find(key);
    if (it == entry.end() || it->is_null()) return nullptr;
    if (!it->is_number()) {
      Warn(where + "." + key + " is not a number; left out");
      return nullptr;
    }
    return &*it;
  };
  if (auto* value = number("windowNumber")) info.windowNumber = value->get<int64_t>();
  if (auto* value = number("layer")) info.layer = value->get<int64_t>();
  if (auto* value = number("alpha")) info.alpha = value->get<double>();
  if (auto* value = number("sharingState")) info.sharingState = value->get<int64_t>();
  if (auto name = entry.find("ownerName"); name != entry.end() && name->is_string()) {
    info.ownerName = name->get<std::string>();
  }
  if (auto bounds = entry.find("bounds"); bounds != entry.end() && !bounds->is_null()) {
    const bool complete =
        bounds->is_object() &&
        std::all_of(std::begin(kBoundsKeys), std::end(kBoundsKeys), [&](const char* key) {
          return bounds->contains(key) && (*bounds)[key].is_number();
        });
    if (complete) {
      info.bounds =
          CGWindowInfo::Bounds{(*bounds)["x"].get<double>(), (*bounds)["y"].get<double>(),
                               (*bounds)["width"].get<double>(), (*bounds)["height"].get<double>()};
    } else {
      Warn(where + ".bounds is not {x, y, width, height}; left out");
    }
  }
}

}  // namespace

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
    ReadDescription(entry, where, window.info);
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
    result.back().isOnscreen = window.on_screen;
  }
  return result;
}

}  // namespace sim
}  // namespace osxnatives::platform
