#include <gtest/gtest.h>

#include <functional>
#include <latch>
#include <thread>
#include <vector>

#include "controller/security_controller_swift.h"
#include "input/input_handler_swift.h"
#include "platform/sim/displays.h"
#include "platform/sim/main_thread.h"
#include "platform/sim/presentation.h"
#include "tests/input/lockdown_support.h"
#include "tests/support/sim_desktop.h"

namespace osxnatives {
namespace {

using platform::ScopedOverride;
using testing::TestDesktop;

// A desktop whose application, pasteboard and preferences are simulated and
// journaled for the test.
class PresentationTest : public ::testing::Test {
 protected:
  explicit PresentationTest(const std::string& scenario = "{}")
      : test_(scenario),
        application_(test_.desktop()),
        pasteboard_(test_.desktop()),
        defaults_(test_.desktop()) {}

  TestDesktop test_;
  platform::sim::SimApplication application_;
  platform::sim::SimPasteboard pasteboard_;
  platform::sim::SimUserDefaults defaults_;
  ScopedOverride<platform::NSApplication> use_application_{&application_};
  ScopedOverride<platform::NSPasteboard> use_pasteboard_{&pasteboard_};
  ScopedOverride<platform::NSUserDefaults> use_defaults_{&defaults_};
};

struct ModeCase {
  const char* name;
  std::function<void(SecurityControllerSwift&)> change;
  uint64_t options;
};

void PrintTo(const ModeCase& c, std::ostream* os) { *os << c.name; }

class PresentationModeTest : public PresentationTest,
                             public ::testing::WithParamInterface<ModeCase> {};

TEST_P(PresentationModeTest, SetsOptionsThenLocksClipboardInOrder) {
  // Start from a different mode so that every change is visible.
  application_.SetPresentationOptions(0xFFFF);
  SecurityControllerSwift controller;
  GetParam().change(controller);

  EXPECT_EQ(application_.PresentationOptions(), GetParam().options);
  const auto journal = test_.Journal();
  ASSERT_EQ(journal.size(), 4U);
  EXPECT_EQ(journal[1]["call"], "setPresentationOptions:");
  EXPECT_EQ(journal[1]["args"]["options"], GetParam().options);
  EXPECT_EQ(journal[2]["call"], "setInteger:forKey:");
  EXPECT_EQ(journal[2]["args"]["domain"], "com.apple.coreservices.useractivityd");
  EXPECT_EQ(journal[2]["args"]["key"], "ClipboardSharingEnabled");
  EXPECT_TRUE(journal[2]["args"]["value"].is_number_integer());
  EXPECT_EQ(journal[2]["args"]["value"], 0);
  EXPECT_EQ(journal[3]["call"], "clearContents");
  EXPECT_EQ(defaults_.IntegerFor("com.apple.coreservices.useractivityd", "ClipboardSharingEnabled"),
            0);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, PresentationModeTest,
    ::testing::Values(ModeCase{"DockAndMenuHidden", [](auto& c) { c.setDockAndMenuHidden(); }, 26},
                      ModeCase{"AllHidden", [](auto& c) { c.setUIModeAllHidden(); }, 442},
                      ModeCase{"Default", [](auto& c) { c.setUIModeDefault(); }, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PresentationOptionsTest, ValuesAreTheDocumentedBits) {
  using namespace platform;  // NOLINT(google-build-using-namespace)
  EXPECT_EQ(SecurityControllerSwift::kDockAndMenuHiddenOptions,
            kPresentationHideDock | kPresentationHideMenuBar | kPresentationDisableAppleMenu);
  EXPECT_EQ(SecurityControllerSwift::kAllHiddenOptions,
            SecurityControllerSwift::kDockAndMenuHiddenOptions |
                kPresentationDisableProcessSwitching | kPresentationDisableSessionTermination |
                kPresentationDisableHideApplication);
  EXPECT_EQ(SecurityControllerSwift::kAllHiddenOptions & kPresentationDisableForceQuit, 0U);
}

class RefusedClipboardDomainTest : public PresentationTest {
 protected:
  RefusedClipboardDomainTest()
      : PresentationTest(
            R"({"currentApplication": {"bundleIdentifier": "com.apple.coreservices.useractivityd"}})") {
  }
};

TEST_F(RefusedClipboardDomainTest, ClipboardIsStillEmptied) {
  SecurityControllerSwift().setUIModeAllHidden();
  EXPECT_TRUE(test_.Journal("setInteger:forKey:").empty());
  EXPECT_EQ(pasteboard_.clear_count(), 1);
  EXPECT_EQ(application_.PresentationOptions(), 442U);
}

TEST(SharedControllerTest, ConcurrentFirstAccessYieldsOneInstance) {
  constexpr int kThreads = 8;
  std::vector<SecurityControllerSwift*> seen(kThreads);
  std::vector<std::thread> threads;
  threads.reserve(kThreads);
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&seen, i] { seen[i] = SecurityControllerSwift::shared().get(); });
  }
  for (auto& thread : threads) thread.join();
  for (auto* controller : seen) EXPECT_EQ(controller, seen[0]);
  EXPECT_NE(seen[0], nullptr);
}

// Runs every function on a thread of its own, all released at once, and
// waits for them.
void Overlap(const std::vector<std::function<void()>>& calls) {
  std::latch ready(static_cast<std::ptrdiff_t>(calls.size()));
  std::vector<std::thread> threads;
  for (const auto& call : calls) {
    threads.emplace_back([&ready, &call] {
      ready.arrive_and_wait();
      call();
    });
  }
  for (auto& thread : threads) thread.join();
}

// Starts and stops overlapping on several threads. Whatever the order they
// take, the displays are captured exactly while the desktop is locked down,
// and the last stop leaves no display captured and no monitor installed.
TEST(OverlappingLockdownTest, DisplaysFollowTheLockdownAndTheLastStopLeavesNothing) {
  testing::Lockdown lockdown;
  testing::CapturedStdout stdout_lines;
  TestDesktop desktop(R"({"displays": [{"id": 1, "main": true}, {"id": 2}, {"id": 3}]})");
  platform::sim::SimDisplays displays(desktop.desktop());
  platform::sim::SimMainThread main_thread(desktop.desktop());
  ScopedOverride<platform::CGDisplay> use_displays(&displays);
  ScopedOverride<platform::NSScreen> use_screens(&displays);
  ScopedOverride<platform::NSEvent> use_events(&main_thread);
  SecurityControllerSwift::sharedInputHandler()->setNotificationCenter(lockdown.center);
  const auto& shared = SecurityControllerSwift::shared();
  const auto start_listener = [&shared] {
    shared->startEventListenerWithDeliveryMode("op", "", false);
  };

  for (int trial = 0; trial < 20; ++trial) {
    Overlap({SecurityControllerSwift::startInputHandler, SecurityControllerSwift::stopInputHandler,
             start_listener, start_listener, [&shared] { shared->stopEventListener(); }});
    const bool locked = SecurityControllerSwift::sharedInputHandler()->serviceRunning();
    EXPECT_EQ(displays.captured().empty(), !locked) << "trial " << trial;

    Overlap({SecurityControllerSwift::stopInputHandler, [&shared] { shared->stopEventListener(); },
             SecurityControllerSwift::stopInputHandler});
    EXPECT_EQ(displays.captured(), std::vector<platform::CGDirectDisplayID>{}) << "trial " << trial;
    EXPECT_EQ(main_thread.monitor_count(), 0U) << "trial " << trial;
    EXPECT_FALSE(SecurityControllerSwift::sharedInputHandler()->serviceRunning());
  }
}

}  // namespace
}  // namespace osxnatives
