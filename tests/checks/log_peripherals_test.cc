#include "checks/log_peripherals.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/linux/usb_registry.h"
#include "platform/sim/network_usb.h"
#include "platform/sim/scenario.h"
#include "tests/support/temp_dir.h"

namespace osxnatives {
namespace {

using platform::IORegistryProperties;
using platform::ScopedOverride;
using Devices = std::optional<std::vector<IORegistryProperties>>;

class FakeRegistry : public platform::IORegistry {
 public:
  Devices devices;
  Devices MatchingServiceProperties(std::string_view className) override {
    EXPECT_EQ(className, "IOUSBDevice");
    return devices;
  }
};

IORegistryProperties Product(const char* name) {
  return nlohmann::json{{"kUSBProductString", name}};
}

TEST(LogPeripheralsTest, CountsExternalDevicesOfTheKind) {
  const std::vector<IORegistryProperties> mixed = {
      Product("USB Optical Mouse"),
      Product("Apple Internal Keyboard / Trackpad"),
      Product("INTERNAL Mouse"),
      std::nullopt,  // Properties that cannot be read.
      nlohmann::json{{"idVendor", "046d"}},
      nlohmann::json{{"kUSBProductString", 42}},
      nlohmann::json::array({"kUSBProductString", "Mouse"}),
      Product("Gaming MOUSE"),
      Product("USB Keyboard"),
      Product("Wireless Mouse Receiver with Keyboard"),
  };
  const std::vector<std::tuple<Devices, const char*, int64_t>> cases = {
      {std::nullopt, "keyboard", 0},
      {mixed, "mouse", 3},
      {mixed, "keyboard", 2},
      {mixed, "MOUSE", 0},
      {mixed, "", 0}};
  FakeRegistry registry;
  ScopedOverride<platform::IORegistry> use(&registry);
  for (const auto& [devices, kind, expected] : cases) {
    registry.devices = devices;
    EXPECT_EQ(LogPeripherals().getConnectedUSBMouseDevices(kind), expected) << kind;
  }
  EXPECT_EQ(LowercaseString("ÄRGER ΚΛΑΒΙΑΤΟΥΡΑ"), "ärger κλαβιατουρα");
  EXPECT_EQ(LowercaseString("A\xff"), "a\xef\xbf\xbd");
}

// A folder laid out like /sys/bus/usb/devices.
class SysfsFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.Write("usb1/product", "xHCI Host Controller\n");
    dir_.Write("usb1/idVendor", "1d6b\n");
    dir_.Write("1-1/product", "USB Optical Mouse\n");
    dir_.Write("1-1/idVendor", "046d\n");
    // An interface of 1-1, not a device of its own.
    dir_.Write("1-1:1.0/product", "Mouse Interface\n");
    dir_.Write("1-2/idVendor", "0bda\n");  // No product name.
    dir_.Write("1-3/product", "Apple Internal Keyboard / Trackpad\n");
    dir_.Write("2-1.4/product", "Logitech USB Keyboard");  // No newline.
  }
  testing::TempDir dir_;
};

TEST_F(SysfsFolderTest, ListsDevicesWithTheirProductNames) {
  platform::os::SysfsUsbRegistry registry(dir_.path());
  std::vector<IORegistryProperties> expected = {
      nlohmann::json{{"idVendor", "046d"}, {"kUSBProductString", "USB Optical Mouse"}},
      nlohmann::json{{"idVendor", "0bda"}},
      nlohmann::json{{"kUSBProductString", "Apple Internal Keyboard / Trackpad"}},
      nlohmann::json{{"kUSBProductString", "Logitech USB Keyboard"}},
      nlohmann::json{{"idVendor", "1d6b"}, {"kUSBProductString", "xHCI Host Controller"}},
  };
  EXPECT_EQ(registry.MatchingServiceProperties("IOUSBDevice"), expected);
  EXPECT_EQ(registry.MatchingServiceProperties("IOHIDDevice"), Devices(std::in_place));
  ScopedOverride<platform::IORegistry> use(&registry);
  EXPECT_EQ(LogPeripherals().getConnectedUSBMouseDevices("mouse"), 1);
  EXPECT_EQ(LogPeripherals().getConnectedUSBMouseDevices("keyboard"), 1);

  // A missing folder is a machine without USB.
  platform::os::SysfsUsbRegistry none(dir_.path() / "absent");
  EXPECT_EQ(none.MatchingServiceProperties("IOUSBDevice"), Devices(std::in_place));
}

TEST_F(SysfsFolderTest, ScenarioProductsReplaceTheFolderUnlessMalformed) {
  ::testing::internal::CaptureStderr();
  auto registry = platform::sim::UsbRegistryFromScenario(platform::sim::Scenario::Parse(
      R"({"usbProducts": ["Gaming MOUSE", null, 7, "USB Optical Mouse"]})", "test"));
  auto malformed = platform::sim::UsbRegistryFromScenario(
      platform::sim::Scenario::Parse(R"({"usbProducts": {"a": 1}})", "test"));
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("usbProducts[2]"), std::string::npos) << err;
  EXPECT_NE(err.find("\"usbProducts\""), std::string::npos) << err;
  EXPECT_EQ(malformed, nullptr);
  ASSERT_NE(registry, nullptr);
  EXPECT_EQ(registry->MatchingServiceProperties("IOUSBDevice")->size(), 3U);
  EXPECT_EQ(registry->MatchingServiceProperties("IOUSBHostDevice")->size(), 0U);
  ScopedOverride<platform::IORegistry> use(registry.get());
  EXPECT_EQ(LogPeripherals().getConnectedUSBMouseDevices("mouse"), 2);
  EXPECT_EQ(LogPeripherals().getConnectedUSBMouseDevices("keyboard"), 0);
}

}  // namespace
}  // namespace osxnatives
