// The Linux backends of the integrity report, on folders of the test's own
// and on real child processes.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <filesystem>
#include <mutex>

#include "platform/linux/integrity.h"
#include "tests/support/temp_dir.h"

namespace osxnatives::platform::os {
namespace {

TEST(LinuxIntegrityTest, MachineFactsFromCpuFlagsDmiAndHypervisorType) {
  const struct {
    const char* name;
    std::vector<std::pair<std::string, std::string>> files;
    std::variant<std::monostate, int64_t, bool, std::string> flag;
    std::variant<std::monostate, int64_t, bool, std::string> type;
    std::optional<std::string> vendor;
  } rows[] = {
      {"KVM guest",
       {{"proc/cpuinfo", "processor : 0\nflags : fpu vme hypervisor sse\n"},
        {"sys/class/dmi/id/sys_vendor", "QEMU\n"},
        {"sys/class/dmi/id/product_name", "Standard PC\n"}},
       true,
       false,
       "QEMU"},
      {"bare metal",
       {{"proc/cpuinfo", "flags\t: fpu vme hypervisorx\n"},
        {"sys/class/dmi/id/sys_vendor", "Dell Inc.\n"}},
       false,
       false,
       "Dell Inc."},
      {"Xen without DMI, no flags line",
       {{"proc/cpuinfo", "Features : fp asimd\n"}, {"sys/hypervisor/type", "xen\n"}},
       std::monostate{},
       std::string("xen"),
       std::nullopt},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    testing::TempDir root;
    for (const auto& [name, contents] : row.files) root.Write(name, contents);
    const auto facts = LinuxMachineIdentity(root.path()).ReadMachineFacts();
    ASSERT_EQ(facts.size(), 4U);
    EXPECT_EQ(facts[0].value, row.flag);
    EXPECT_EQ(facts[0].unknownReason.has_value(), row.flag.index() == 0);
    EXPECT_EQ(facts[1].value, row.type);
    // Only a present type file answers for the hypervisor.
    EXPECT_EQ(facts[1].kind == MachineFactKind::kHypervisorPresent, row.type.index() == 3);
    if (row.vendor) {
      EXPECT_EQ(std::get<std::string>(facts[2].value), *row.vendor);
    } else {
      EXPECT_TRUE(facts[2].unknownReason.has_value());
    }
  }
}

TEST(LinuxIntegrityTest, Video4LinuxDevicesWithDriverAndUsbMaker) {
  testing::TempDir sys;
  namespace fs = std::filesystem;
  // A UVC camera: the interface folder below its USB device.
  sys.Write("devices/usb1/1-1/manufacturer", "Logitech\n");
  sys.Write("devices/usb1/1-1/idVendor", "046d\n");
  sys.Write("devices/usb1/1-1/idProduct", "0825\n");
  fs::create_directories(sys.path() / "drivers/uvcvideo");
  fs::create_directories(sys.path() / "devices/usb1/1-1/1-1:1.0");
  fs::create_symlink(sys.path() / "drivers/uvcvideo",
                     sys.path() / "devices/usb1/1-1/1-1:1.0/driver");
  sys.Write("class/video0/name", "HD Webcam C270\n");
  fs::create_directory_symlink(sys.path() / "devices/usb1/1-1/1-1:1.0",
                               sys.path() / "class/video0/device");
  // A loopback device without a USB parent.
  sys.Write("class/video9/name", "Dummy video device (0x0000)\n");
  sys.Write("class/not-a-camera/name", "x\n");

  const auto list = Video4LinuxDevices(sys.path() / "class").videoDevices();
  ASSERT_FALSE(list.unknownReason.has_value());
  ASSERT_EQ(list.devices.size(), 2U);
  EXPECT_EQ(list.devices[0].uniqueID, "video0");
  EXPECT_EQ(list.devices[0].localizedName, "HD Webcam C270");
  EXPECT_EQ(list.devices[0].deviceType, "uvcvideo");
  EXPECT_EQ(list.devices[0].manufacturer, "Logitech");
  EXPECT_EQ(list.devices[0].modelID, "046d:0825");
  EXPECT_EQ(list.devices[1].localizedName, "Dummy video device (0x0000)");
  EXPECT_FALSE(list.devices[1].deviceType.has_value());

  EXPECT_TRUE(Video4LinuxDevices(sys.path() / "absent").videoDevices().devices.empty());
}

// Waits for the launch and the termination of one real child, through each
// mechanism the backend has.
TEST(LinuxIntegrityTest, ARealChildIsSeenStartingAndEnding) {
  for (bool connector : {true, false}) {
    SCOPED_TRACE(connector ? "connector (or its fallback)" : "/proc watch");
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<ApplicationLifecycleEvent> events;
    LinuxProcessEvents watch(connector);
    std::string reason;
    const auto mechanism = watch.addObservers(
        [&](const ApplicationLifecycleEvent& e) {
          std::lock_guard<std::mutex> lock(mutex);
          events.push_back(e);
          changed.notify_all();
        },
        &reason);
    ASSERT_TRUE(mechanism.has_value()) << reason;
    EXPECT_FALSE(watch.addObservers([](const ApplicationLifecycleEvent&) {}, &reason));
    EXPECT_EQ(reason, "observers already added");

    // The child waits on a pipe that the test closes once it has seen it.
    int gate[2];
    ASSERT_EQ(pipe(gate), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, gate[0], 0);
    posix_spawn_file_actions_addclose(&actions, gate[1]);
    char cat[] = "cat";
    char* argv[] = {cat, nullptr};
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, "/bin/cat", &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(gate[0]);
    auto seen = [&](bool launched) {
      return std::any_of(events.begin(), events.end(), [&](const auto& e) {
        return e.launched == launched && e.application.processIdentifier == child;
      });
    };
    {
      std::unique_lock<std::mutex> lock(mutex);
      EXPECT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] { return seen(true); }));
    }
    close(gate[1]);
    waitpid(child, nullptr, 0);
    {
      std::unique_lock<std::mutex> lock(mutex);
      EXPECT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] { return seen(false); }));
      // The /proc watch may see the child before its exec, under our name.
      for (const auto& e : events) {
        if (mechanism->starts_with("kernel") && e.application.processIdentifier == child &&
            e.launched) {
          EXPECT_EQ(e.application.localizedName.value_or(""), "cat") << *mechanism;
        }
      }
    }
    watch.removeObservers();
    watch.removeObservers();  // a second stop is harmless
  }
}

}  // namespace
}  // namespace osxnatives::platform::os
