#include <gtest/gtest.h>

#include <optional>

#include "checks/display_handler_swift.h"
#include "controller/security_controller_swift.h"
#include "input/input_handler_swift.h"
#include "platform/sim/displays.h"
#include "tests/support/recording_host.h"
#include "tests/support/sim_desktop.h"

namespace osxnatives {
namespace {

using testing::InfoLines;
using testing::LogLine;
using Ids = std::vector<uint32_t>;

// `count` active displays with ids 100, 101, …; the one at `main` is main.
std::string Displays(int count, int main, const std::string& extra = "") {
  std::string list;
  for (int i = 0; i < count; ++i) {
    list += (i != 0 ? "," : "") + std::string(R"({"id": )") + std::to_string(100 + i) +
            R"(, "name": "Screen )" + std::to_string(i) + "\"" +
            (i == main ? R"(, "main": true)" : "") + "}";
  }
  return R"({"displays": [)" + list + "]" + extra + "}";
}

// A simulated display set of the test's own, with the host that logs.
struct SimulatedDisplays {
  explicit SimulatedDisplays(const std::string& scenario)
      : test(scenario), displays(test.desktop()), use_cg(&displays), use_screen(&displays) {}
  Ids Journal(const std::string& call) const {
    Ids ids;
    for (const auto& entry : test.Journal(call)) ids.push_back(entry["args"]["display"]);
    return ids;
  }

  testing::TestDesktop test;
  platform::sim::SimDisplays displays;
  platform::ScopedOverride<platform::CGDisplay> use_cg;
  platform::ScopedOverride<platform::NSScreen> use_screen;
  testing::ScopedRecordingHost host;
};

TEST(DisplayHandlerTest, AllButTheMainDisplayAreCapturedAndAllReleased) {
  // Inactive displays count as online only; ids show as signed numbers.
  const std::string mixed = R"({"displays": [{"id": 1, "main": true, "name": "A"},
      {"id": 4294967295}, {"id": 2, "active": false}, {"id": 3, "active": false, "online": false}]})";
  const struct {
    std::string scenario;
    int screens;
    const char* main;  // as logged
    Ids captured;
    int64_t online;  // the online query holds 8 ids
    std::optional<std::string> name;
  } cases[] = {
      {Displays(1, 0), 1, "100", {}, 1, "Screen 0"},
      {Displays(2, 1), 2, "101", {100}, 2, "Screen 1"},
      {Displays(10, 3), 10, "103", {100, 101, 102, 104, 105, 106, 107, 108, 109}, 8, "Screen 3"},
      {mixed, 2, "1", {4294967295U}, 3, "A"},
      {R"({"displays": []})", 0, "0", {}, 0, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scenario);
    SimulatedDisplays d(c.scenario);
    DisplayHandlerSwift handler;
    EXPECT_EQ(handler.getDisplayCount(), c.online);
    EXPECT_EQ(handler.getMainScreenName(), c.name);
    handler.captureDisplay();
    std::vector<std::string> logs = {
        "Requested screen count from system: maxDisplays=" + std::to_string(c.screens),
        std::string("Showing main display: mainDisplayId=") + c.main};
    for (uint32_t id : c.captured) {
      logs.push_back("Hiding non-main display: displayId=" +
                     std::to_string(static_cast<int32_t>(id)));
    }
    EXPECT_EQ(d.host.logs(), InfoLines(logs));
    EXPECT_EQ(d.Journal("CGDisplayCapture"), c.captured);
    handler.releaseDisplay();
    EXPECT_EQ(d.Journal("CGDisplayRelease").size(), static_cast<size_t>(c.screens));
    EXPECT_TRUE(d.displays.captured().empty());
  }
}

TEST(DisplayHandlerTest, FailingQueriesTouchNoDisplay) {
  SimulatedDisplays d(Displays(2, 0, R"(, "displayErrors": {"CGGetOnlineDisplayList": 1001,
                                                            "CGGetActiveDisplayList": -5})"));
  DisplayHandlerSwift handler;
  EXPECT_EQ(handler.getDisplayCount(), 1);
  handler.captureDisplay();
  handler.releaseDisplay();
  EXPECT_EQ(d.host.logs(),
            (std::vector<LogLine>{{"Error getting the number of display list", "ERROR"},
                                  {"Requested screen count from system: maxDisplays=2", "INFO"},
                                  {"Error getting the active display list: err=-5", "ERROR"}}));
  EXPECT_TRUE(d.test.Journal().empty());
}

// Releasing needs no earlier capture: every active display is released.
TEST(SecurityControllerInputTest, StopBeforeAnyStartStillReleasesTheDisplays) {
  SimulatedDisplays d(R"({"displays": [{"id": 7, "main": true}, {"id": 8, "active": false},
                                       {"id": 9}]})");
  SecurityControllerSwift::stopInputHandler();
  EXPECT_FALSE(SecurityControllerSwift::sharedInputHandler()->serviceRunning());
  EXPECT_EQ(d.Journal("CGDisplayRelease"), (Ids{7, 9}));
  EXPECT_EQ(d.host.logs(),
            InfoLines({"Releasing display: displayId=7", "Releasing display: displayId=9"}));
}

}  // namespace
}  // namespace osxnatives
