#include "platform/sim/presentation.h"

#include "platform/sim/services.h"

namespace osxnatives::platform {

NSApplication& SimNSApplication() {
  static auto* const application = new sim::SimApplication(sim::Desktop::Instance());
  return *application;
}

NSPasteboard& SimNSPasteboard() {
  static auto* const pasteboard = new sim::SimPasteboard(sim::Desktop::Instance());
  return *pasteboard;
}

NSUserDefaults& SimNSUserDefaults() {
  static auto* const defaults = new sim::SimUserDefaults(sim::Desktop::Instance());
  return *defaults;
}

namespace sim {

SimApplication::SimApplication(Desktop& desktop)
    : desktop_(desktop), key_window_title_(desktop.scenario().String("keyWindowTitle")) {}

void SimApplication::YieldActivationToApplication(const RunningApplication& application) {
  desktop_.journal().Record("NSApplication", "yieldActivationToApplication:",
                            {{"bundleIdentifier", application.bundleIdentifier.value_or("")},
                             {"processIdentifier", application.processIdentifier}});
}

void SimApplication::SetPresentationOptions(uint64_t options) {
  options_.store(options);
  desktop_.journal().Record("NSApplication", "setPresentationOptions:", {{"options", options}});
}

void SimPasteboard::ClearContents() {
  clear_count_.fetch_add(1);
  desktop_.journal().Record("NSPasteboard", "clearContents", nlohmann::json::object());
}

class SimUserDefaults::Suite : public UserDefaultsSuite {
 public:
  Suite(SimUserDefaults& owner, std::string name) : owner_(owner), name_(std::move(name)) {}

  void SetInteger(std::string_view key, int64_t value) override {
    {
      std::lock_guard<std::mutex> lock(owner_.mutex_);
      owner_.values_[{name_, std::string(key)}] = value;
    }
    owner_.desktop_.journal().Record("NSUserDefaults", "setInteger:forKey:",
                                     {{"domain", name_}, {"key", key}, {"value", value}});
  }

 private:
  SimUserDefaults& owner_;
  std::string name_;
};

SimUserDefaults::SimUserDefaults(Desktop& desktop) : desktop_(desktop) {
  if (const nlohmann::json* app = desktop.scenario().Find("currentApplication");
      app != nullptr && app->is_object()) {
    auto it = app->find("bundleIdentifier");
    if (it != app->end() && it->is_string()) own_bundle_identifier_ = it->get<std::string>();
  }
}

std::unique_ptr<UserDefaultsSuite> SimUserDefaults::InitWithSuiteName(std::string_view suite) {
  if (suite == "NSGlobalDomain" ||
      (!own_bundle_identifier_.empty() && suite == own_bundle_identifier_)) {
    return nullptr;
  }
  return std::make_unique<Suite>(*this, std::string(suite));
}

std::optional<int64_t> SimUserDefaults::IntegerFor(const std::string& suite,
                                                   const std::string& key) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = values_.find({suite, key});
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

}  // namespace sim
}  // namespace osxnatives::platform
