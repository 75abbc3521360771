// The VPN, screen-sharing and USB peripheral checks.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "checks/log_peripherals.h"
#include "checks/screeh_sharing.h"
#include "checks/vpn_check.h"
#include "platform/cf_network.h"
#include "platform/linux/usb_registry.h"
#include "platform/ns_task_pipe.h"
#include "tests/support/recording_host.h"
#include "tests/support/temp_dir.h"

namespace osxnatives {
namespace {

using json = nlohmann::json;
using platform::ScopedOverride;
using Devices = std::optional<std::vector<platform::IORegistryProperties>>;

class FakeProxySettings : public platform::CFNetwork {
 public:
  std::optional<json> settings;
  std::optional<json> CopySystemProxySettings() override { return settings; }
};

// Proxy settings whose scoped interfaces are `names`.
json Scoped(std::initializer_list<const char*> names) {
  json scoped = json::object();
  for (const char* name : names) scoped[name] = {{"HTTPEnable", 0}};
  return {{"__SCOPED__", scoped}, {"HTTPEnable", 0}};
}

TEST(VpnCheckTest, ReportsTunnelInterfacesOnly) {
  const std::pair<std::optional<json>, int64_t> cases[] = {
      {Scoped({"en0", "utun3"}), 1},
      {Scoped({"tap0"}), 1},
      {Scoped({"tun"}), 1},
      {Scoped({"en0", "xtun0", "UTUN0", "ips", "ut", ""}), 0},  // a prefix must start the name
      {json{{"HTTPEnable", 0}}, 0},
      {json{{"__SCOPED__", {"utun0"}}}, 0},
      {json::array({"utun0"}), 0},
      {std::nullopt, 0},  // no proxy configuration at all
  };
  FakeProxySettings fake;
  ScopedOverride<platform::CFNetwork> use(&fake);
  for (const auto& [settings, expected] : cases) {
    fake.settings = settings;
    EXPECT_EQ(VPNCheck().checkVpn(), expected) << (settings ? settings->dump() : "none");
  }
}

// Answers every run with `output`; the real task is the platform's own test.
class FakeTask : public platform::PipedTask {
 public:
  std::optional<std::string> output;
  std::optional<std::string> LaunchAndReadToEndOfFile(
      const std::string& executable, const std::vector<std::string>& arguments) override {
    EXPECT_EQ(executable, "/usr/bin/pgrep");
    EXPECT_EQ(arguments, std::vector<std::string>{"screensharingd"});
    return output;
  }
};

TEST(ScreenSharingTest, AnyOutputMeansRunningAndAFailedStartIsLogged) {
  const std::pair<std::optional<std::string>, int64_t> cases[] = {
      {"", 0},
      {std::string(1, '\0'), 1},  // one byte, not parsed
      {"1234\n", 1},
      {std::nullopt, 0}};
  for (const auto& [output, expected] : cases) {
    testing::ScopedRecordingHost host;
    FakeTask task;
    task.output = output;
    ScopedOverride<platform::PipedTask> use(&task);
    EXPECT_EQ(ScreehSharing().checkScreenSharing(), expected);
    EXPECT_EQ(host.logs(),
              (output ? std::vector<testing::LogLine>{}
                      : std::vector<testing::LogLine>{
                            {"Error running pgrep to detect screen sharing", "ERROR"}}));
  }
}

class FakeRegistry : public platform::IORegistry {
 public:
  Devices devices;
  Devices MatchingServiceProperties(std::string_view className) override {
    EXPECT_EQ(className, "IOUSBDevice");
    return devices;
  }
};

json Product(const char* name) { return {{"kUSBProductString", name}}; }

// The count of each kind, "mouse" then "keyboard", that `registry` gives.
std::pair<int64_t, int64_t> Counts(platform::IORegistry& registry) {
  ScopedOverride<platform::IORegistry> use(&registry);
  return {LogPeripherals().getConnectedUSBMouseDevices("mouse"),
          LogPeripherals().getConnectedUSBMouseDevices("keyboard")};
}

TEST(LogPeripheralsTest, CountsExternalDevicesOfTheKind) {
  FakeRegistry registry;
  registry.devices = {{
      Product("USB Optical Mouse"),
      Product("Apple Internal Keyboard / Trackpad"),
      Product("INTERNAL Mouse"),
      std::nullopt,  // properties that cannot be read
      json{{"idVendor", "046d"}},
      json{{"kUSBProductString", 42}},
      json::array({"kUSBProductString", "Mouse"}),
      Product("Gaming MOUSE"),
      Product("Wireless Mouse Receiver with Keyboard"),
  }};
  EXPECT_EQ(Counts(registry), (std::pair<int64_t, int64_t>(3, 1)));
  ScopedOverride<platform::IORegistry> use(&registry);
  EXPECT_EQ(LogPeripherals().getConnectedUSBMouseDevices("MOUSE"), 0);
  EXPECT_EQ(LogPeripherals().getConnectedUSBMouseDevices(""), 0);
  registry.devices = std::nullopt;
  EXPECT_EQ(LogPeripherals().getConnectedUSBMouseDevices("keyboard"), 0);
  EXPECT_EQ(LowercaseString("ÄRGER ΚΛΑΒΙΑΤΟΥΡΑ"), "ärger κλαβιατουρα");
  EXPECT_EQ(LowercaseString("A\xff"), "a\xef\xbf\xbd");
}

TEST(LogPeripheralsTest, SysfsFolderListsDevicesWithTheirProductNames) {
  // A folder laid out like /sys/bus/usb/devices.
  testing::TempDir dir;
  dir.Write("usb1/product", "xHCI Host Controller\n");
  dir.Write("usb1/idVendor", "1d6b\n");
  dir.Write("1-1/product", "USB Optical Mouse\n");
  dir.Write("1-1/idVendor", "046d\n");
  dir.Write("1-1:1.0/product", "Mouse Interface\n");    // an interface of 1-1, not a device
  dir.Write("1-2/idVendor", "0bda\n");                  // no product name
  dir.Write("2-1.4/product", "Logitech USB Keyboard");  // no newline
  platform::os::SysfsUsbRegistry registry(dir.path());
  EXPECT_EQ(registry.MatchingServiceProperties("IOUSBDevice"),
            (Devices{{
                json{{"idVendor", "046d"}, {"kUSBProductString", "USB Optical Mouse"}},
                json{{"idVendor", "0bda"}},
                Product("Logitech USB Keyboard"),
                json{{"idVendor", "1d6b"}, {"kUSBProductString", "xHCI Host Controller"}},
            }}));
  EXPECT_EQ(registry.MatchingServiceProperties("IOHIDDevice"), Devices(std::in_place));
  EXPECT_EQ(Counts(registry), (std::pair<int64_t, int64_t>(1, 1)));
  // A missing folder is a machine without USB.
  EXPECT_EQ(platform::os::SysfsUsbRegistry(dir.path() / "absent")
                .MatchingServiceProperties("IOUSBDevice"),
            Devices(std::in_place));
}

}  // namespace
}  // namespace osxnatives
