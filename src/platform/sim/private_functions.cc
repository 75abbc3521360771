#include "platform/sim/private_functions.h"

#include <limits>
#include <string_view>

#include "platform/sim/services.h"

namespace osxnatives::platform {

CFBundles& SimCFBundles() {
  static auto* const bundles = new sim::SimPrivateFunctions(sim::Desktop::Instance());
  return *bundles;
}

namespace sim {
namespace {

constexpr char kProbe[] = "CGSIsSymbolicHotKeyEnabled";
constexpr char kSetter[] = "CGSSetSymbolicHotKeyEnabled";
constexpr char kCorner[] = "CoreDockSetExposeCornerAction";

std::string NormalisedPath(std::string_view path) {
  constexpr std::string_view kFileScheme = "file://";
  if (path.substr(0, kFileScheme.size()) == kFileScheme) {
    path.remove_prefix(kFileScheme.size());
  }
  while (path.size() > 1 && path.back() == '/') {
    path.remove_suffix(1);
  }
  return std::string(path);
}

std::set<std::string> Strings(const nlohmann::json& object, const char* key, bool paths) {
  std::set<std::string> values;
  auto it = object.find(key);
  if (it == object.end() || it->is_null()) {
    return values;
  }
  if (!it->is_array()) {
    Warn(std::string("privateFunctions.") + key + " is not a list; ignored");
    return values;
  }
  for (const auto& value : *it) {
    if (!value.is_string()) {
      Warn(std::string("privateFunctions.") + key + " holds a value that is not text; ignored");
      continue;
    }
    values.insert(paths ? NormalisedPath(value.get<std::string>()) : value.get<std::string>());
  }
  return values;
}

}  // namespace

class SimPrivateFunctions::Bundle : public CFBundleRef {
 public:
  Bundle(SimPrivateFunctions& owner, std::string path, bool loadable)
      : owner_(owner), path_(std::move(path)), loadable_(loadable) {}

  bool CFBundleLoadExecutable() override { return loadable_; }

  std::optional<BundleFunction> CFBundleGetFunctionPointerForName(std::string_view name) override {
    if (!loadable_ || owner_.missing_functions_.count(std::string(name)) != 0) {
      return std::nullopt;
    }
    SimPrivateFunctions& owner = owner_;
    if (path_ == kCoreGraphicsBundlePath && name == kProbe) {
      return BundleFunction([&owner](int32_t id, int32_t) { return owner.IsEnabled(id); });
    }
    if (path_ == kCoreGraphicsBundlePath && name == kSetter) {
      return BundleFunction(
          [&owner](int32_t id, int32_t enabled) { return owner.SetEnabled(id, enabled != 0); });
    }
    if (path_ == kHIServicesBundlePath && name == kCorner) {
      return BundleFunction(
          [&owner](int32_t action, int32_t corner) { return owner.SetCorner(action, corner); });
    }
    return std::nullopt;
  }

 private:
  SimPrivateFunctions& owner_;
  const std::string path_;
  const bool loadable_;
};

SimPrivateFunctions::SimPrivateFunctions(Desktop& desktop) : desktop_(desktop) {
  const Scenario& scenario = desktop.scenario();
  if (const nlohmann::json* hot_keys = scenario.Find("symbolicHotKeys")) {
    const nlohmann::json* disabled = nullptr;
    if (hot_keys->is_object() && hot_keys->contains("disabled")) {
      disabled = &(*hot_keys)["disabled"];
    }
    if (disabled != nullptr && disabled->is_array()) {
      for (const auto& id : *disabled) {
        if (id.is_number_integer() && id.get<int64_t>() >= std::numeric_limits<int32_t>::min() &&
            id.get<int64_t>() <= std::numeric_limits<int32_t>::max()) {
          disabled_.insert(static_cast<int32_t>(id.get<int64_t>()));
        } else {
          Warn("symbolicHotKeys.disabled holds a value that is not a 32-bit id; ignored");
        }
      }
    } else {
      Warn(R"(scenario key "symbolicHotKeys" is not {"disabled": [ids]}; every hot key enabled)");
    }
  }
  if (const nlohmann::json* functions = scenario.Find("privateFunctions")) {
    if (functions->is_object()) {
      missing_bundles_ = Strings(*functions, "missingBundles", true);
      unloadable_bundles_ = Strings(*functions, "unloadableBundles", true);
      missing_functions_ = Strings(*functions, "missingFunctions", false);
    } else {
      Warn("scenario key \"privateFunctions\" is not an object; every function present");
    }
  }
}

std::unique_ptr<CFBundleRef> SimPrivateFunctions::CFBundleCreate(std::string_view bundle_path) {
  std::string path = NormalisedPath(bundle_path);
  if (path != kCoreGraphicsBundlePath && path != kHIServicesBundlePath) {
    return nullptr;
  }
  if (missing_bundles_.count(path) != 0) {
    return nullptr;
  }
  const bool loadable = unloadable_bundles_.count(path) == 0;
  return std::make_unique<Bundle>(*this, std::move(path), loadable);
}

bool SimPrivateFunctions::hotKeyEnabled(int32_t id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return disabled_.count(id) == 0;
}

std::optional<int32_t> SimPrivateFunctions::cornerAction(int corner) const {
  if (corner < 0 || corner > 3) {
    return std::nullopt;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  return corners_[static_cast<size_t>(corner)];
}

int32_t SimPrivateFunctions::SetEnabled(int32_t id, bool enabled) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (enabled) {
      disabled_.erase(id);
    } else {
      disabled_.insert(id);
    }
  }
  desktop_.journal().Record(kSetter, kSetter, {{"id", id}, {"enabled", enabled}});
  return 0;
}

int32_t SimPrivateFunctions::SetCorner(int32_t action, int32_t corner) {
  if (corner >= 0 && corner <= 3) {
    std::lock_guard<std::mutex> lock(mutex_);
    corners_[static_cast<size_t>(corner)] = action;
  }
  desktop_.journal().Record(kCorner, kCorner, {{"action", action}, {"corner", corner}});
  return 0;
}

}  // namespace sim
}  // namespace osxnatives::platform
