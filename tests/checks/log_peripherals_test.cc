#include "checks/log_peripherals.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/linux/usb_registry.h"
#include "platform/sim/scenario.h"
#include "tests/support/temp_dir.h"

namespace osxnatives {
namespace {

using platform::IORegistryProperties;
using platform::ScopedOverride;
using testing::TempDir;

class FakeRegistry : public platform::IORegistry {
 public:
  explicit FakeRegistry(std::optional<std::vector<IORegistryProperties>> devices)
      : devices_(std::move(devices)) {}
  std::optional<std::vector<IORegistryProperties>> MatchingServiceProperties(
      std::string_view className) override {
    classes_.emplace_back(className);
    return devices_;
  }
  std::vector<std::string> classes_;

 private:
  std::optional<std::vector<IORegistryProperties>> devices_;
};

IORegistryProperties Product(const char* name) {
  return nlohmann::json{{"kUSBProductString", name}};
}

struct CountCase {
  const char* name;
  std::optional<std::vector<IORegistryProperties>> devices;
  const char* kind;
  int64_t expected;
};

void PrintTo(const CountCase& c, std::ostream* os) { *os << c.name; }

class UsbCountTest : public ::testing::TestWithParam<CountCase> {};

TEST_P(UsbCountTest, CountsExternalDevicesOfTheKind) {
  FakeRegistry registry(GetParam().devices);
  ScopedOverride<platform::IORegistry> use(&registry);
  EXPECT_EQ(LogPeripherals().getConnectedUSBMouseDevices(GetParam().kind), GetParam().expected);
  EXPECT_EQ(registry.classes_, std::vector<std::string>{"IOUSBDevice"});
}

const std::vector<IORegistryProperties> kMixed = {
    Product("USB Optical Mouse"),
    Product("Apple Internal Keyboard / Trackpad"),
    std::nullopt,  // Properties that cannot be read.
    nlohmann::json{{"idVendor", "046d"}},
    nlohmann::json{{"kUSBProductString", 42}},
    nlohmann::json::array({"kUSBProductString", "Mouse"}),
    nlohmann::json::object(),
    Product("Gaming MOUSE"),
    Product("USB Keyboard"),
    Product("Wireless Mouse Receiver with Keyboard"),
};

INSTANTIATE_TEST_SUITE_P(
    Devices, UsbCountTest,
    ::testing::Values(
        CountCase{"no_device", std::vector<IORegistryProperties>{}, "mouse", 0},
        CountCase{"no_iterator", std::nullopt, "keyboard", 0},
        CountCase{"built_in_keyboard", std::vector{Product("Internal Keyboard / Trackpad")},
                  "keyboard", 0},
        CountCase{"internal_in_any_case", std::vector{Product("INTERNAL Mouse")}, "mouse", 0},
        CountCase{"usb_keyboard_as_keyboard", std::vector{Product("USB Keyboard")}, "keyboard", 1},
        CountCase{"usb_keyboard_as_mouse", std::vector{Product("USB Keyboard")}, "mouse", 0},
        CountCase{"upper_case_product", std::vector{Product("Gaming MOUSE")}, "mouse", 1},
        CountCase{"upper_case_kind", std::vector{Product("Gaming MOUSE")}, "MOUSE", 0},
        CountCase{
            "no_product_name",
            std::vector<IORegistryProperties>{nlohmann::json{{"USB Product Name", "USB Mouse"}}},
            "mouse", 0},
        CountCase{"empty_kind", std::vector{Product("USB Mouse")}, "", 0},
        CountCase{"mixed_mice", kMixed, "mouse", 3},
        CountCase{"mixed_keyboards", kMixed, "keyboard", 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LowercaseStringTest, FollowsUnicodeRules) {
  EXPECT_EQ(LowercaseString("Gaming MOUSE"), "gaming mouse");
  EXPECT_EQ(LowercaseString("ÄRGER TASTATUR"), "ärger tastatur");
  EXPECT_EQ(LowercaseString("ΚΛΑΒΙΑΤΟΥΡΑ"), "κλαβιατουρα");
  EXPECT_EQ(LowercaseString(""), "");
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
  TempDir dir_;
};

TEST_F(SysfsFolderTest, ListsDevicesWithTheirProductNames) {
  platform::os::SysfsUsbRegistry registry(platform::sim::Scenario(), dir_.path());
  auto devices = registry.MatchingServiceProperties("IOUSBDevice");
  ASSERT_TRUE(devices.has_value());
  std::vector<IORegistryProperties> expected = {
      nlohmann::json{{"idVendor", "046d"}, {"kUSBProductString", "USB Optical Mouse"}},
      nlohmann::json{{"idVendor", "0bda"}},
      nlohmann::json{{"kUSBProductString", "Apple Internal Keyboard / Trackpad"}},
      nlohmann::json{{"kUSBProductString", "Logitech USB Keyboard"}},
      nlohmann::json{{"idVendor", "1d6b"}, {"kUSBProductString", "xHCI Host Controller"}},
  };
  EXPECT_EQ(*devices, expected);
  EXPECT_EQ(registry.MatchingServiceProperties("IOHIDDevice"),
            std::make_optional(std::vector<IORegistryProperties>{}));

  ScopedOverride<platform::IORegistry> use(&registry);
  EXPECT_EQ(LogPeripherals().getConnectedUSBMouseDevices("mouse"), 1);
  EXPECT_EQ(LogPeripherals().getConnectedUSBMouseDevices("keyboard"), 1);
}

TEST_F(SysfsFolderTest, MissingFolderIsAMachineWithoutUsb) {
  platform::os::SysfsUsbRegistry registry(platform::sim::Scenario(), dir_.path() / "absent");
  EXPECT_EQ(registry.MatchingServiceProperties("IOUSBDevice"),
            std::make_optional(std::vector<IORegistryProperties>{}));
}

TEST_F(SysfsFolderTest, ScenarioProductsReplaceTheFolder) {
  auto scenario = platform::sim::Scenario::Parse(
      R"({"usbProducts": ["Gaming MOUSE", null, 7, "USB Optical Mouse"]})", "test");
  ::testing::internal::CaptureStderr();
  platform::os::SysfsUsbRegistry registry(scenario, dir_.path());
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("usbProducts[2]"), std::string::npos) << err;
  ScopedOverride<platform::IORegistry> use(&registry);
  EXPECT_EQ(registry.MatchingServiceProperties("IOUSBDevice")->size(), 3U);
  EXPECT_EQ(LogPeripherals().getConnectedUSBMouseDevices("mouse"), 2);
  EXPECT_EQ(LogPeripherals().getConnectedUSBMouseDevices("keyboard"), 0);
}

TEST_F(SysfsFolderTest, MalformedScenarioListFallsBackToTheFolder) {
  auto scenario = platform::sim::Scenario::Parse(R"({"usbProducts": {"a": 1}})", "test");
  ::testing::internal::CaptureStderr();
  platform::os::SysfsUsbRegistry registry(scenario, dir_.path());
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("usbProducts"), std::string::npos);
  EXPECT_EQ(registry.MatchingServiceProperties("IOUSBDevice")->size(), 5U);
}

}  // namespace
}  // namespace osxnatives
