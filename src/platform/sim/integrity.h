// Simulated stand-ins for the services of the integrity report: the host's
// window sharing, and, when the scenario names them, the machine identity, the
// cameras and scripted application launches.
//
// Scenario keys:
//   "hostWindows": [{"windowNumber": integer, "sharingType": 0..2 (default
//                   1)}, ...]: the host application's own windows. Setting a
//                   sharing type journals "NSWindow" "setSharingType:"
//                   {"windowNumber", "sharingType"}. Without the key the host
//                   has no windows.
//   "machine": {"hvVmmPresent": integer, "hwModel": text,
//               "platformModel": text, "platformManufacturer": text}: the
//               machine's facts as a Mac reports them (sysctlbyname,
//               IOPlatformExpertDevice); a key left out is unknown.
//   "cameras": [{"uniqueID", "localizedName", "modelID", "manufacturer",
//                "deviceType": text, "continuityCamera": bool}, ...]
//   "applicationLaunches": [{"pid": integer, "bundleIdentifier": text,
//                            "localizedName": text, "terminated": bool}, ...]:
//                delivered in order, once, on a thread of the desktop's own
//                as soon as observers are added. Adding and removing the
//                observers journals "NSWorkspace" "addObserver" /
//                "removeObserver" {"names": [...]}.
// "machine", "cameras" and "applicationLaunches" replace the real backend
// only when present; malformed entries are skipped with one `Warn` line.
#ifndef OSXNATIVES_PLATFORM_SIM_INTEGRITY_H_
#define OSXNATIVES_PLATFORM_SIM_INTEGRITY_H_

#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/av_capture_discovery.h"
#include "platform/machine_identity.h"
#include "platform/ns_window_sharing.h"
#include "platform/ns_workspace_notifications.h"
#include "platform/sim/desktop.h"

namespace osxnatives::platform::sim {

class SimWindowSharing : public NSWindowSharing {
 public:
  explicit SimWindowSharing(Desktop& desktop);
  HostWindowList windows() override;
  bool setSharingType(int64_t windowNumber, int64_t sharingType) override;

 private:
  Desktop& desktop_;
  std::mutex mutex_;
  std::vector<HostWindow> windows_;  // Guarded by mutex_.
};

class SimMachineIdentity : public MachineIdentity {
 public:
  explicit SimMachineIdentity(std::vector<MachineFact> facts) : facts_(std::move(facts)) {}
  std::vector<MachineFact> ReadMachineFacts() override { return facts_; }

 private:
  const std::vector<MachineFact> facts_;
};

class SimCaptureDevices : public AVCaptureDeviceDiscovery {
 public:
  explicit SimCaptureDevices(std::vector<CaptureDeviceInfo> devices)
      : devices_(std::move(devices)) {}
  CaptureDeviceList videoDevices() override { return {devices_, std::nullopt}; }

 private:
  const std::vector<CaptureDeviceInfo> devices_;
};

class SimWorkspaceNotifications : public NSWorkspaceNotifications {
 public:
  SimWorkspaceNotifications(Desktop& desktop, std::vector<ApplicationLifecycleEvent> script);
  ~SimWorkspaceNotifications() override;

  std::optional<std::string> addObservers(ApplicationLifecycleHandler handler,
                                          std::string* reason) override;
  void removeObservers() override;

 private:
  void Loop();

  Desktop& desktop_;
  std::mutex mutex_;
  std::deque<ApplicationLifecycleEvent> queue_;  // Guarded by mutex_.
  ApplicationLifecycleHandler handler_;          // Guarded by mutex_.
  bool stopping_ = false;                        // Guarded by mutex_.
  std::thread thread_;                           // Guarded by mutex_.
};

// The stand-ins for "machine", "cameras" and "applicationLaunches", or null
// when the scenario lacks the key or it is malformed (one `Warn` line).
std::unique_ptr<MachineIdentity> MachineIdentityFromScenario(const Scenario& scenario);
std::unique_ptr<AVCaptureDeviceDiscovery> CaptureDevicesFromScenario(const Scenario& scenario);
std::unique_ptr<NSWorkspaceNotifications> LaunchesFromScenario(Desktop& desktop);

}  // namespace osxnatives::platform::sim

#endif  // OSXNATIVES_PLATFORM_SIM_INTEGRITY_H_
