#include <gtest/gtest.h>

#include <thread>

#include "checks/display_handler_swift.h"
#include "controller/security_controller_swift.h"
#include "input/input_handler_swift.h"
#include "platform/sim/displays.h"
#include "tests/support/recording_host.h"
#include "tests/support/sim_desktop.h"

namespace osxnatives {
namespace {

using testing::LogLine;
using testing::ScopedRecordingHost;
using testing::TestDesktop;

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

class Displays_ {
 public:
  explicit Displays_(const std::string& scenario)
      : test(scenario), displays(test.desktop()), use_cg(&displays), use_screen(&displays) {}
  std::vector<uint32_t> Journal(const std::string& call) const {
    std::vector<uint32_t> ids;
    for (const auto& entry : test.Journal(call)) {
      ids.push_back(entry["args"]["display"]);
    }
    return ids;
  }

  TestDesktop test;
  platform::sim::SimDisplays displays;
  platform::ScopedOverride<platform::CGDisplay> use_cg;
  platform::ScopedOverride<platform::NSScreen> use_screen;
  ScopedRecordingHost host;
};

std::vector<LogLine> Info(const std::vector<std::string>& messages) {
  std::vector<LogLine> lines;
  lines.reserve(messages.size());
  for (const auto& message : messages) {
    lines.push_back({message, "INFO"});
  }
  return lines;
}

TEST(DisplayHandlerTest, OneDisplayIsShownAndNothingCaptured) {
  Displays_ d(Displays(1, 0));
  DisplayHandlerSwift().captureDisplay();
  EXPECT_EQ(d.host.logs(), Info({"Requested screen count from system: maxDisplays=1",
                                 "Showing main display: mainDisplayId=100"}));
  EXPECT_TRUE(d.Journal("CGDisplayCapture").empty());
}

TEST(DisplayHandlerTest, TwoDisplaysCaptureTheOtherAndReleaseBoth) {
  Displays_ d(Displays(2, 1));
  DisplayHandlerSwift().captureDisplay();
  EXPECT_EQ(d.host.logs(), Info({"Requested screen count from system: maxDisplays=2",
                                 "Showing main display: mainDisplayId=101",
                                 "Hiding non-main display: displayId=100"}));
  EXPECT_EQ(d.Journal("CGDisplayCapture"), std::vector<uint32_t>{100});
  EXPECT_EQ(d.displays.captured(), std::vector<uint32_t>{100});

  DisplayHandlerSwift().releaseDisplay();
  const auto logs = d.host.logs();
  EXPECT_EQ(std::vector(logs.begin() + 3, logs.end()),
            Info({"Releasing display: displayId=100", "Releasing display: displayId=101"}));
  EXPECT_EQ(d.Journal("CGDisplayRelease"), (std::vector<uint32_t>{100, 101}));
  EXPECT_TRUE(d.displays.captured().empty());
}

TEST(DisplayHandlerTest, TenDisplays) {
  Displays_ d(Displays(10, 3));
  DisplayHandlerSwift handler;
  EXPECT_EQ(handler.getDisplayCount(), 8) << "the online query holds 8 ids";
  handler.captureDisplay();
  const auto logs = d.host.logs();
  ASSERT_EQ(logs.size(), 11U);
  EXPECT_EQ(logs[0].message, "Requested screen count from system: maxDisplays=10");
  EXPECT_EQ(logs[1].message, "Showing main display: mainDisplayId=103");
  EXPECT_EQ(d.Journal("CGDisplayCapture"),
            (std::vector<uint32_t>{100, 101, 102, 104, 105, 106, 107, 108, 109}));
  handler.releaseDisplay();
  EXPECT_EQ(d.Journal("CGDisplayRelease").size(), 10U);
  EXPECT_TRUE(d.displays.captured().empty());
}

TEST(DisplayHandlerTest, OnlineCountIncludesInactiveDisplays) {
  Displays_ d(R"({"displays": [{"id": 1, "main": true}, {"id": 2, "active": false},
                               {"id": 3, "active": false, "online": false}]})");
  EXPECT_EQ(DisplayHandlerSwift().getDisplayCount(), 2);
  EXPECT_TRUE(d.host.logs().empty());
}

TEST(DisplayHandlerTest, FailingQueries) {
  Displays_ d(Displays(2, 0, R"(, "displayErrors": {"CGGetOnlineDisplayList": 1001,
                                                    "CGGetActiveDisplayList": -5})"));
  DisplayHandlerSwift handler;
  EXPECT_EQ(handler.getDisplayCount(), 1);
  handler.captureDisplay();
  handler.releaseDisplay();
  EXPECT_EQ(d.host.logs(),
            (std::vector<LogLine>{{"Error getting the number of display list", "ERROR"},
                                  {"Requested screen count from system: maxDisplays=2", "INFO"},
                                  {"Error getting the active display list: err=-5", "ERROR"}}));
  EXPECT_TRUE(d.test.Journal().empty()) << "no display is touched";
}

TEST(DisplayHandlerTest, IdsAboveInt32MaxAreLoggedAsSigned) {
  Displays_ d(R"({"displays": [{"id": 1, "main": true}, {"id": 4294967295}]})");
  DisplayHandlerSwift().captureDisplay();
  EXPECT_EQ(d.host.logs().back().message, "Hiding non-main display: displayId=-1");
  EXPECT_EQ(d.Journal("CGDisplayCapture"), std::vector<uint32_t>{4294967295U});
}

TEST(DisplayHandlerTest, MainScreenName) {
  {
    Displays_ d(Displays(3, 2));
    EXPECT_EQ(DisplayHandlerSwift().getMainScreenName(), "Screen 2");
  }
  {
    Displays_ d(R"({"displays": [{"id": 1, "name": "Asleep", "main": true, "active": false}]})");
    EXPECT_EQ(DisplayHandlerSwift().getMainScreenName(), std::nullopt);
    EXPECT_EQ(DisplayHandlerSwift().getDisplayCount(), 1);
  }
  {
    Displays_ d(R"({"displays": []})");
    DisplayHandlerSwift handler;
    EXPECT_EQ(handler.getMainScreenName(), std::nullopt);
    EXPECT_EQ(handler.getDisplayCount(), 0);
    handler.captureDisplay();
    EXPECT_EQ(d.host.logs(), Info({"Requested screen count from system: maxDisplays=0",
                                   "Showing main display: mainDisplayId=0"}));
  }
}

TEST(SecurityControllerInputTest, ClassWideHandlersAreCreatedOnceAcrossThreads) {
  std::vector<std::thread> threads;
  std::vector<InputHandlerSwift*> inputs(8);
  std::vector<DisplayHandlerSwift*> displays(8);
  for (size_t i = 0; i < inputs.size(); ++i) {
    threads.emplace_back([&, i] {
      inputs[i] = SecurityControllerSwift::sharedInputHandler().get();
      displays[i] = SecurityControllerSwift::sharedDisplayHandler().get();
    });
  }
  for (auto& thread : threads) {
    thread.join();
  }
  for (size_t i = 0; i < inputs.size(); ++i) {
    EXPECT_EQ(inputs[i], inputs[0]);
    EXPECT_EQ(displays[i], displays[0]);
  }
  EXPECT_TRUE(inputs[0]->inputDisabled());
}

// Releasing needs no earlier capture: every active display is released.
TEST(SecurityControllerInputTest, StopBeforeAnyStartStillReleasesTheDisplays) {
  Displays_ d(R"({"displays": [{"id": 7, "main": true}, {"id": 8, "active": false},
                               {"id": 9}]})");
  SecurityControllerSwift::stopInputHandler();
  EXPECT_FALSE(SecurityControllerSwift::sharedInputHandler()->serviceRunning());
  EXPECT_EQ(d.Journal("CGDisplayRelease"), (std::vector<uint32_t>{7, 9}));
  EXPECT_EQ(d.host.logs(),
            Info({"Releasing display: displayId=7", "Releasing display: displayId=9"}));
}

}  // namespace
}  // namespace osxnatives
