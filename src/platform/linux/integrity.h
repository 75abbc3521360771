// The Linux facilities behind the integrity report: the machine's identity
// (DMI, the "hypervisor" CPU flag, /sys/hypervisor/type), the video4linux
// cameras, and process launches and terminations (the kernel's process-event
// connector, else a watch of /proc).
#ifndef OSXNATIVES_PLATFORM_LINUX_INTEGRITY_H_
#define OSXNATIVES_PLATFORM_LINUX_INTEGRITY_H_

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <set>
#include <thread>

#include "platform/av_capture_discovery.h"
#include "platform/machine_identity.h"
#include "platform/ns_workspace_notifications.h"

namespace osxnatives::platform::os {

class LinuxMachineIdentity : public MachineIdentity {
 public:
  // `root` stands for "/" (tests give a folder of their own).
  explicit LinuxMachineIdentity(std::filesystem::path root = "/") : root_(std::move(root)) {}
  // "/proc/cpuinfo" "flags" (hypervisor flag), "/sys/hypervisor/type" (false
  // when absent, which is not a hypervisor answer: only Xen writes it),
  // "/sys/class/dmi/id/sys_vendor", "/sys/class/dmi/id/product_name", in
  // that order.
  std::vector<MachineFact> ReadMachineFacts() override;

 private:
  std::filesystem::path root_;
};

class Video4LinuxDevices : public AVCaptureDeviceDiscovery {
 public:
  explicit Video4LinuxDevices(std::filesystem::path root = "/sys/class/video4linux")
      : root_(std::move(root)) {}
  // One device per "video*" entry, in name order: uniqueID the entry name,
  // localizedName its "name" file, deviceType its driver's name, and for USB
  // devices manufacturer and "vendor:product" as modelID. A missing folder is
  // a machine without cameras.
  CaptureDeviceList videoDevices() override;

 private:
  std::filesystem::path root_;
};

// Every process started (exec) or ended, named by its command name; a process
// has no bundle identifier on Linux.
class LinuxProcessEvents : public NSWorkspaceNotifications {
 public:
  // The interval of the /proc watch, used where the process-event connector
  // is not permitted.
  static constexpr std::chrono::milliseconds kPollInterval{20};

  // `use_connector` false always watches /proc (tests).
  explicit LinuxProcessEvents(bool use_connector = true) : use_connector_(use_connector) {}
  ~LinuxProcessEvents() override;

  std::optional<std::string> addObservers(ApplicationLifecycleHandler handler,
                                          std::string* reason) override;
  void removeObservers() override;

 private:
  // Deliver events until `stopping_` or a write to the eventfd `wake`.
  void ConnectorLoop(int socket, int wake, const ApplicationLifecycleHandler& handler);
  // `known`: the processes running when the observers were added.
  void PollLoop(int wake, std::set<int32_t> known, const ApplicationLifecycleHandler& handler);

  const bool use_connector_;
  std::mutex mutex_;
  std::thread thread_;               // Guarded by mutex_.
  int wake_fd_ = -1;                 // eventfd that ends the loop; guarded by mutex_.
  bool finished_ = false;            // the loop has returned; guarded by mutex_.
  bool close_wake_on_exit_ = false;  // the loop closes its eventfd; guarded by mutex_.
  std::atomic<bool> stopping_{false};
};

}  // namespace osxnatives::platform::os

#endif  // OSXNATIVES_PLATFORM_LINUX_INTEGRITY_H_
