#include "platform/sim/integrity.h"

#include <algorithm>
#include <climits>
#include <string>

#include "platform/sim/services.h"

namespace osxnatives::platform {

NSWindowSharing& SimNSWindowSharing() {
  static auto* const sharing = new sim::SimWindowSharing(sim::Desktop::Instance());
  return *sharing;
}

namespace sim {
namespace {

// The list under `key`, or null (with a warning when it is not a list).
const nlohmann::json* List(const Scenario& scenario, const char* key) {
  const nlohmann::json* list = scenario.Find(key);
  if (list != nullptr && !list->is_array()) {
    Warn(std::string("scenario key \"") + key + "\" is not a list; ignored");
    return nullptr;
  }
  return list;
}

}  // namespace

SimWindowSharing::SimWindowSharing(Desktop& desktop) : desktop_(desktop) {
  const nlohmann::json* list = List(desktop.scenario(), "hostWindows");
  if (list == nullptr) return;
  for (size_t i = 0; i < list->size(); ++i) {
    const nlohmann::json& entry = (*list)[i];
    const std::string where = "hostWindows[" + std::to_string(i) + "]";
    auto number = entry.is_object() ? entry.find("windowNumber") : entry.end();
    if (!entry.is_object() || number == entry.end() || !number->is_number_integer()) {
      Warn(where + " has no integer \"windowNumber\"; skipped");
      continue;
    }
    HostWindow window{number->get<int64_t>(), kNSWindowSharingReadOnly};
    if (auto type = entry.find("sharingType"); type != entry.end() && !type->is_null()) {
      if (type->is_number_integer() && type->get<int64_t>() >= kNSWindowSharingNone &&
          type->get<int64_t>() <= kNSWindowSharingReadWrite) {
        window.sharingType = type->get<int64_t>();
      } else {
        Warn(where + ".sharingType is not 0, 1 or 2; using 1");
      }
    }
    windows_.push_back(window);
  }
}

HostWindowList SimWindowSharing::windows() {
  std::lock_guard<std::mutex> lock(mutex_);
  return {windows_, std::nullopt};
}

bool SimWindowSharing::setSharingType(int64_t windowNumber, int64_t sharingType) {
  desktop_.journal().Record("NSWindow", "setSharingType:",
                            {{"windowNumber", windowNumber}, {"sharingType", sharingType}});
  std::lock_guard<std::mutex> lock(mutex_);
  for (HostWindow& window : windows_) {
    if (window.windowNumber == windowNumber) {
      window.sharingType = sharingType;
      return true;
    }
  }
  return false;
}

std::unique_ptr<MachineIdentity> MachineIdentityFromScenario(const Scenario& scenario) {
  const nlohmann::json* machine = scenario.Find("machine");
  if (machine == nullptr) return nullptr;
  if (!machine->is_object()) {
    Warn("scenario key \"machine\" is not an object; ignored");
    return nullptr;
  }
  std::vector<MachineFact> facts;
  MachineFact hv{"sysctlbyname",
                 "kern.hv_vmm_present",
                 MachineFactKind::kHypervisorPresent,
                 {},
                 "not in the scenario"};
  if (auto it = machine->find("hvVmmPresent"); it != machine->end() && it->is_number_integer()) {
    hv.value = it->get<int64_t>();
    hv.unknownReason.reset();
  } else if (it != machine->end()) {
    hv.unknownReason = "not an integer";
  }
  facts.push_back(hv);
  const std::pair<const char*, std::pair<const char*, const char*>> texts[] = {
      {"hwModel", {"sysctlbyname", "hw.model"}},
      {"platformModel", {"IOPlatformExpertDevice", "model"}},
      {"platformManufacturer", {"IOPlatformExpertDevice", "manufacturer"}},
  };
  for (const auto& [key, origin] : texts) {
    MachineFact fact{
        origin.first, origin.second, MachineFactKind::kHardwareName, {}, "not in the scenario"};
    if (auto text = OptionalString(*machine, key, "machine")) {
      fact.value = *text;
      fact.unknownReason.reset();
    }
    facts.push_back(fact);
  }
  return std::make_unique<SimMachineIdentity>(std::move(facts));
}

std::unique_ptr<AVCaptureDeviceDiscovery> CaptureDevicesFromScenario(const Scenario& scenario) {
  const nlohmann::json* list = List(scenario, "cameras");
  if (list == nullptr) return nullptr;
  std::vector<CaptureDeviceInfo> devices;
  for (size_t i = 0; i < list->size(); ++i) {
    const nlohmann::json& entry = (*list)[i];
    const std::string where = "cameras[" + std::to_string(i) + "]";
    if (!entry.is_object()) {
      Warn(where + " is not an object; skipped");
      continue;
    }
    CaptureDeviceInfo device{
        OptionalString(entry, "uniqueID", where),   OptionalString(entry, "localizedName", where),
        OptionalString(entry, "modelID", where),    OptionalString(entry, "manufacturer", where),
        OptionalString(entry, "deviceType", where), std::nullopt};
    if (auto it = entry.find("continuityCamera"); it != entry.end() && it->is_boolean()) {
      device.continuityCamera = it->get<bool>();
    }
    devices.push_back(std::move(device));
  }
  return std::make_unique<SimCaptureDevices>(std::move(devices));
}

std::unique_ptr<NSWorkspaceNotifications> LaunchesFromScenario(Desktop& desktop) {
  const nlohmann::json* list = List(desktop.scenario(), "applicationLaunches");
  if (list == nullptr) return nullptr;
  std::vector<ApplicationLifecycleEvent> script;
  for (size_t i = 0; i < list->size(); ++i) {
    const nlohmann::json& entry = (*list)[i];
    const std::string where = "applicationLaunches[" + std::to_string(i) + "]";
    auto pid = entry.is_object() ? entry.find("pid") : entry.end();
    if (!entry.is_object() || pid == entry.end() || !pid->is_number_integer() ||
        pid->get<int64_t>() <= 0 || pid->get<int64_t>() > INT32_MAX) {
      Warn(where + " has no usable \"pid\"; skipped");
      continue;
    }
    ApplicationLifecycleEvent event;
    event.application.processIdentifier = pid->get<int32_t>();
    event.application.bundleIdentifier = OptionalString(entry, "bundleIdentifier", where);
    event.application.localizedName = OptionalString(entry, "localizedName", where);
    auto terminated = entry.find("terminated");
    event.launched =
        !(terminated != entry.end() && terminated->is_boolean() && terminated->get<bool>());
    script.push_back(std::move(event));
  }
  return std::make_unique<SimWorkspaceNotifications>(desktop, std::move(script));
}

namespace {
const nlohmann::json kNotificationNames = {"NSWorkspaceDidLaunchApplicationNotification",
                                           "NSWorkspaceDidTerminateApplicationNotification"};
}  // namespace

SimWorkspaceNotifications::SimWorkspaceNotifications(Desktop& desktop,
                                                     std::vector<ApplicationLifecycleEvent> script)
    : desktop_(desktop), queue_(script.begin(), script.end()) {}

SimWorkspaceNotifications::~SimWorkspaceNotifications() {
  SimWorkspaceNotifications::removeObservers();
  std::thread finished;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    finished = std::move(thread_);
  }
  if (finished.joinable()) finished.join();
}

std::optional<std::string> SimWorkspaceNotifications::addObservers(
    ApplicationLifecycleHandler handler, std::string* reason) {
  std::thread finished;  // a loop that ended, or is ending, on its own
  {
    std::lock_guard<std::mutex> lock(mutex_);
    // A handler that starts again after stopping runs on the loop's thread,
    // which cannot join itself: it finds the loop still there.
    if (!handler_ && thread_.get_id() != std::this_thread::get_id()) {
      finished = std::move(thread_);
    }
  }
  if (finished.joinable()) finished.join();
  std::lock_guard<std::mutex> lock(mutex_);
  if (handler_ || thread_.joinable()) {
    if (reason != nullptr) *reason = "observers already added";
    return std::nullopt;
  }
  desktop_.journal().Record("NSWorkspace", "addObserver", {{"names", kNotificationNames}});
  handler_ = std::move(handler);
  stopping_ = false;
  thread_ = std::thread([this] { Loop(); });
  return "simulated desktop (scenario applicationLaunches)";
}

void SimWorkspaceNotifications::removeObservers() {
  std::thread finished;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!handler_) return;
    desktop_.journal().Record("NSWorkspace", "removeObserver", {{"names", kNotificationNames}});
    stopping_ = true;
    handler_ = nullptr;
    // Called from a handler: the loop ends when it returns, and the next
    // start or the destructor joins it.
    if (thread_.get_id() == std::this_thread::get_id()) return;
    finished = std::move(thread_);
  }
  if (finished.joinable()) finished.join();
}

void SimWorkspaceNotifications::Loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_ && !queue_.empty()) {
    ApplicationLifecycleEvent event = std::move(queue_.front());
    queue_.pop_front();
    ApplicationLifecycleHandler handler = handler_;
    lock.unlock();
    try {
      handler(event);
    } catch (...) {
      Warn("an application launch handler threw; delivery goes on");
    }
    lock.lock();
  }
}

}  // namespace sim
}  // namespace osxnatives::platform
