#include "platform/sim/displays.h"

#include <algorithm>
#include <limits>

#include "platform/sim/services.h"

namespace osxnatives::platform {

namespace {
sim::SimDisplays& DefaultDisplays() {
  static auto* const displays = new sim::SimDisplays(sim::Desktop::Instance());
  return *displays;
}
}  // namespace

CGDisplay& SimCGDisplay() { return DefaultDisplays(); }

CGDisplayProperties& SimCGDisplayProperties() { return DefaultDisplays(); }

NSScreen& SimNSScreen() { return DefaultDisplays(); }

namespace sim {
namespace {

bool FlagOr(const nlohmann::json& entry, const char* key, bool fallback, const std::string& where) {
  auto it = entry.find(key);
  if (it == entry.end() || it->is_null()) {
    return fallback;
  }
  if (!it->is_boolean()) {
    Warn(where + "." + key + " is not a boolean; using " + (fallback ? "true" : "false"));
    return fallback;
  }
  return it->get<bool>();
}

CGError ErrorCode(const nlohmann::json* errors, const char* call) {
  if (errors == nullptr || !errors->is_object()) {
    return kCGErrorSuccess;
  }
  auto it = errors->find(call);
  if (it == errors->end()) {
    return kCGErrorSuccess;
  }
  if (!it->is_number_integer() || it->get<int64_t>() < std::numeric_limits<int32_t>::min() ||
      it->get<int64_t>() > std::numeric_limits<int32_t>::max()) {
    Warn(std::string("displayErrors.") + call + " is not a 32-bit integer; the call succeeds");
    return kCGErrorSuccess;
  }
  return static_cast<CGError>(it->get<int64_t>());
}

uint64_t UnsignedOr0(const nlohmann::json& entry, const char* key, uint64_t limit,
                     const std::string& where) {
  auto it = entry.find(key);
  if (it == entry.end() || it->is_null()) return 0;
  if (!it->is_number_unsigned() || it->get<uint64_t>() > limit) {
    Warn(where + "." + key + " is not an unsigned number in range; using 0");
    return 0;
  }
  return it->get<uint64_t>();
}

double NumberOr0(const nlohmann::json& entry, const char* key, const std::string& where) {
  auto it = entry.find(key);
  if (it == entry.end() || it->is_null()) return 0;
  if (!it->is_number()) {
    Warn(where + "." + key + " is not a number; using 0");
    return 0;
  }
  return it->get<double>();
}

CGDisplayDescription ReadDescription(const nlohmann::json& entry, const std::string& where) {
  constexpr uint64_t k32 = std::numeric_limits<uint32_t>::max();
  CGDisplayDescription d;
  d.isBuiltin = FlagOr(entry, "builtin", false, where);
  d.mirrorsDisplay = static_cast<CGDirectDisplayID>(UnsignedOr0(entry, "mirrorOf", k32, where));
  d.vendorNumber = static_cast<uint32_t>(UnsignedOr0(entry, "vendor", k32, where));
  d.modelNumber = static_cast<uint32_t>(UnsignedOr0(entry, "model", k32, where));
  d.serialNumber = static_cast<uint32_t>(UnsignedOr0(entry, "serial", k32, where));
  d.widthMillimetres = NumberOr0(entry, "widthMm", where);
  d.heightMillimetres = NumberOr0(entry, "heightMm", where);
  d.pixelsWide = UnsignedOr0(entry, "pixelsWide", UINT64_MAX, where);
  d.pixelsHigh = UnsignedOr0(entry, "pixelsHigh", UINT64_MAX, where);
  return d;
}

}  // namespace

SimDisplays::SimDisplays(Desktop& desktop) : desktop_(desktop) {
  const Scenario& scenario = desktop.scenario();
  const nlohmann::json* list = scenario.Find("displays");
  if (list == nullptr) {
    displays_.push_back({1, "Simulated Display", true, true, true, {}});
  } else if (!list->is_array()) {
    Warn("scenario key \"displays\" is not a list; using one simulated display");
    displays_.push_back({1, "Simulated Display", true, true, true, {}});
  } else {
    for (size_t i = 0; i < list->size(); ++i) {
      const nlohmann::json& entry = (*list)[i];
      const std::string where = "displays[" + std::to_string(i) + "]";
      if (!entry.is_object() || !entry.contains("id") || !entry["id"].is_number_unsigned() ||
          entry["id"].get<uint64_t>() > std::numeric_limits<uint32_t>::max()) {
        Warn(where + " has no unsigned 32-bit \"id\"; skipped");
        continue;
      }
      Display display;
      display.id = entry["id"].get<CGDirectDisplayID>();
      if (auto name = entry.find("name"); name != entry.end() && name->is_string()) {
        display.name = name->get<std::string>();
      }
      display.main = FlagOr(entry, "main", false, where);
      display.active = FlagOr(entry, "active", true, where);
      display.online = FlagOr(entry, "online", true, where) || display.active;
      display.description = ReadDescription(entry, where);
      displays_.push_back(display);
    }
  }
  auto main = std::find_if(displays_.begin(), displays_.end(), [](auto& d) { return d.main; });
  if (main == displays_.end()) {
    main = std::find_if(displays_.begin(), displays_.end(), [](auto& d) { return d.active; });
  }
  main_ = main != displays_.end() ? main->id : 0;
  const nlohmann::json* errors = scenario.Find("displayErrors");
  online_error_ = ErrorCode(errors, "CGGetOnlineDisplayList");
  active_error_ = ErrorCode(errors, "CGGetActiveDisplayList");
}

CGError SimDisplays::Fill(bool active_only, uint32_t max_displays, CGDirectDisplayID* displays,
                          uint32_t* display_count) const {
  uint32_t count = 0;
  for (const Display& display : displays_) {
    if (active_only ? !display.active : !display.online) {
      continue;
    }
    if (count == max_displays) {
      break;
    }
    if (displays != nullptr) {
      displays[count] = display.id;
    }
    ++count;
  }
  if (display_count != nullptr) {
    *display_count = count;
  }
  return kCGErrorSuccess;
}

CGError SimDisplays::CGGetOnlineDisplayList(uint32_t max_displays, CGDirectDisplayID* displays,
                                            uint32_t* display_count) {
  if (online_error_ != kCGErrorSuccess) {
    return online_error_;
  }
  return Fill(false, max_displays, displays, display_count);
}

CGError SimDisplays::CGGetActiveDisplayList(uint32_t max_displays, CGDirectDisplayID* displays,
                                            uint32_t* display_count) {
  if (active_error_ != kCGErrorSuccess) {
    return active_error_;
  }
  return Fill(true, max_displays, displays, display_count);
}

bool SimDisplays::IsActive(CGDirectDisplayID display) const {
  return std::any_of(displays_.begin(), displays_.end(),
                     [&](const Display& d) { return d.id == display && d.active; });
}

CGError SimDisplays::CGDisplayCapture(CGDirectDisplayID display) {
  desktop_.journal().Record("CoreGraphics", "CGDisplayCapture", {{"display", display}});
  if (!IsActive(display)) {
    return kCGErrorIllegalArgument;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  captured_.insert(display);
  return kCGErrorSuccess;
}

CGError SimDisplays::CGDisplayRelease(CGDirectDisplayID display) {
  desktop_.journal().Record("CoreGraphics", "CGDisplayRelease", {{"display", display}});
  if (!IsActive(display)) {
    return kCGErrorIllegalArgument;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  captured_.erase(display);
  return kCGErrorSuccess;
}

uint32_t SimDisplays::screensCount() {
  return static_cast<uint32_t>(
      std::count_if(displays_.begin(), displays_.end(), [](auto& d) { return d.active; }));
}

std::optional<std::string> SimDisplays::mainScreenLocalizedName() {
  for (const Display& display : displays_) {
    if (display.id == main_ && display.active) {
      return display.name;
    }
  }
  return std::nullopt;
}

std::optional<CGDisplayDescription> SimDisplays::describeDisplay(CGDirectDisplayID display) {
  for (const Display& entry : displays_) {
    if (entry.id != display || !entry.online) continue;
    CGDisplayDescription description = entry.description;
    description.isMain = entry.id == main_;
    return description;
  }
  return std::nullopt;
}

std::vector<CGDirectDisplayID> SimDisplays::captured() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return {captured_.begin(), captured_.end()};
}

}  // namespace sim
}  // namespace osxnatives::platform
