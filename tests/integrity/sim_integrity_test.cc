// The simulated desktop's integrity keys, read back through the services.
#include <gtest/gtest.h>

#include "platform/sim/displays.h"
#include "platform/sim/integrity.h"
#include "platform/sim/window_list.h"
#include "tests/support/sim_desktop.h"

namespace osxnatives::platform::sim {
namespace {

TEST(SimIntegrityTest, WindowEntriesCarryTheirDescriptionAndBadValuesAreLeftOut) {
  testing::TestDesktop test(R"({"windows": [
      {"ownerPid": 501, "ownerName": "Answers", "windowNumber": 9, "layer": 3, "alpha": 0.4,
       "sharingState": 0, "bounds": {"x": 10, "y": 20, "width": 300, "height": 200}},
      {"ownerPid": 502, "layer": "high", "bounds": {"x": 1}, "onScreen": false}]})");
  SimWindowList list(test.desktop(), 100);
  const auto all = list.CGWindowListCopyWindowInfo(kCGWindowListOptionAll, kNullWindowID);
  ASSERT_EQ(all->size(), 2U);
  const CGWindowInfo& hidden = (*all)[0];
  EXPECT_EQ(hidden.ownerName, "Answers");
  EXPECT_EQ(hidden.windowNumber, 9);
  EXPECT_EQ(hidden.layer, 3);
  EXPECT_EQ(hidden.alpha, 0.4);
  EXPECT_EQ(hidden.sharingState, kCGWindowSharingNone);
  ASSERT_TRUE(hidden.bounds.has_value());
  EXPECT_EQ(hidden.bounds->width, 300);
  EXPECT_EQ(hidden.isOnscreen, true);
  const CGWindowInfo& odd = (*all)[1];
  EXPECT_FALSE(odd.layer.has_value());
  EXPECT_FALSE(odd.bounds.has_value());
  EXPECT_FALSE(odd.sharingState.has_value());
  EXPECT_EQ(odd.isOnscreen, false);
}

TEST(SimIntegrityTest, DisplaysDescribeMirroringAndOnlyOnlineDisplays) {
  testing::TestDesktop test(R"({"displays": [
      {"id": 1, "main": true, "builtin": true, "vendor": 1552, "widthMm": 301.5},
      {"id": 2, "active": false, "mirrorOf": 1, "serial": 77, "pixelsWide": 1920},
      {"id": 3, "active": false, "online": false},
      {"id": 4, "vendor": -1}]})");
  SimDisplays displays(test.desktop());
  const auto builtin = displays.describeDisplay(1);
  ASSERT_TRUE(builtin.has_value());
  EXPECT_TRUE(builtin->isMain);
  EXPECT_TRUE(builtin->isBuiltin);
  EXPECT_EQ(builtin->widthMillimetres, 301.5);
  const auto mirror = displays.describeDisplay(2);
  ASSERT_TRUE(mirror.has_value());
  EXPECT_FALSE(mirror->isMain);
  EXPECT_EQ(mirror->mirrorsDisplay, 1U);
  EXPECT_EQ(mirror->serialNumber, 77U);
  EXPECT_FALSE(displays.describeDisplay(3).has_value());  // not online
  EXPECT_EQ(displays.describeDisplay(4)->vendorNumber, 0U);
  EXPECT_FALSE(displays.describeDisplay(99).has_value());
}

TEST(SimIntegrityTest, MachineAndCamerasReplaceTheRealOnesOnlyWhenStaged) {
  EXPECT_EQ(MachineIdentityFromScenario(Scenario::Parse("{}", "t")), nullptr);
  EXPECT_EQ(MachineIdentityFromScenario(Scenario::Parse(R"({"machine": 1})", "t")), nullptr);
  EXPECT_EQ(CaptureDevicesFromScenario(Scenario::Parse(R"({"cameras": {}})", "t")), nullptr);

  auto machine = MachineIdentityFromScenario(
      Scenario::Parse(R"({"machine": {"hvVmmPresent": 1, "hwModel": "VirtualMac2,1"}})", "t"));
  ASSERT_NE(machine, nullptr);
  const auto facts = machine->ReadMachineFacts();
  ASSERT_EQ(facts.size(), 4U);
  EXPECT_EQ(std::get<int64_t>(facts[0].value), 1);
  EXPECT_EQ(std::get<std::string>(facts[1].value), "VirtualMac2,1");
  EXPECT_EQ(facts[2].unknownReason, "not in the scenario");

  auto cameras = CaptureDevicesFromScenario(Scenario::Parse(
      R"({"cameras": [{"localizedName": "OBS Virtual Camera", "continuityCamera": false}, 3]})",
      "t"));
  ASSERT_NE(cameras, nullptr);
  const auto list = cameras->videoDevices();
  ASSERT_EQ(list.devices.size(), 1U);
  EXPECT_EQ(list.devices[0].localizedName, "OBS Virtual Camera");
  EXPECT_EQ(list.devices[0].continuityCamera, false);
}

}  // namespace
}  // namespace osxnatives::platform::sim
