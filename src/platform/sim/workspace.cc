#include "platform/sim/workspace.h"

#include <unistd.h>

#include "platform/sim/services.h"

namespace osxnatives::platform {

NSWorkspace& SimNSWorkspace() {
  static auto* const workspace =
      new sim::SimWorkspace(sim::Desktop::Instance(), static_cast<int32_t>(getpid()));
  return *workspace;
}

namespace sim {

SimWorkspace::SimWorkspace(Desktop& desktop, int32_t host_pid) : desktop_(desktop) {
  const Scenario& scenario = desktop.scenario();
  current_.processIdentifier = host_pid;
  if (const nlohmann::json* app = scenario.Find("currentApplication")) {
    if (app->is_object()) {
      current_.localizedName = OptionalString(*app, "localizedName", "currentApplication");
      current_.bundleIdentifier = OptionalString(*app, "bundleIdentifier", "currentApplication");
    } else {
      Warn("scenario key \"currentApplication\" is not an object; using its default");
    }
  }
  if (const nlohmann::json* list = scenario.Find("runningApplications")) {
    if (!list->is_array()) {
      Warn("scenario key \"runningApplications\" is not an array; using its default");
    } else {
      for (size_t i = 0; i < list->size(); ++i) {
        const nlohmann::json& entry = (*list)[i];
        const std::string where = "runningApplications[" + std::to_string(i) + "]";
        auto pid = entry.is_object() ? entry.find("pid") : entry.end();
        if (!entry.is_object() || pid == entry.end() || !pid->is_number_integer() ||
            pid->get<int64_t>() < 0 || pid->get<int64_t>() > INT32_MAX) {
          Warn(where + " has no usable \"pid\"; skipped");
          continue;
        }
        RunningApplication app;
        app.processIdentifier = pid->get<int32_t>() == 0 ? host_pid : pid->get<int32_t>();
        app.localizedName = OptionalString(entry, "localizedName", where);
        app.bundleIdentifier = OptionalString(entry, "bundleIdentifier", where);
        running_.push_back(std::move(app));
      }
    }
  }
  if (auto frontmost = scenario.String("frontmostApplication")) {
    for (const auto& app : running_) {
      if (app.bundleIdentifier == *frontmost) {
        frontmost_ = app;
        break;
      }
    }
    if (!frontmost_ && current_.bundleIdentifier == *frontmost) frontmost_ = current_;
    if (!frontmost_)
      Warn("frontmostApplication " + *frontmost + " is not running; none is frontmost");
  }
}

std::vector<RunningApplication> SimWorkspace::runningApplications() { return running_; }

std::optional<RunningApplication> SimWorkspace::frontmostApplication() {
  std::lock_guard<std::mutex> lock(mutex_);
  return frontmost_;
}

std::optional<RunningApplication> SimWorkspace::runningApplicationWithProcessIdentifier(
    int32_t pid) {
  if (pid == current_.processIdentifier) return current_;
  for (const auto& app : running_) {
    if (app.processIdentifier == pid) return app;
  }
  return std::nullopt;
}

bool SimWorkspace::activateWithOptions(const RunningApplication& application, uint64_t options) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    frontmost_ = application;
  }
  nlohmann::json args = {{"bundleIdentifier", nullptr},
                         {"options", options},
                         {"processIdentifier", application.processIdentifier}};
  if (application.bundleIdentifier) args["bundleIdentifier"] = *application.bundleIdentifier;
  desktop_.journal().Record("NSRunningApplication", "activateWithOptions:", args);
  return true;
}

}  // namespace sim
}  // namespace osxnatives::platform
