#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "controller/app_delegate_swift.h"
#include "controller/security_controller_swift.h"
#include "events/event_listener_swift.h"
#include "input/input_handler_swift.h"
#include "platform/sim/displays.h"
#include "platform/sim/main_thread.h"
#include "platform/sim/presentation.h"
#include "tests/input/lockdown_support.h"

namespace osxnatives {
namespace {

using json = nlohmann::json;
using platform::NSAppleEventDescriptor;
using platform::ScopedOverride;
using Controller = SecurityControllerSwift;
using std::string_literals::operator""s;

// The calls and arguments that `change` makes on a desktop whose application,
// pasteboard and preferences are simulated.
json PresentationCalls(const std::function<void(Controller&)>& change,
                       const std::string& scenario = "{}") {
  testing::TestDesktop test(scenario);
  platform::sim::SimApplication application(test.desktop());
  platform::sim::SimPasteboard pasteboard(test.desktop());
  platform::sim::SimUserDefaults defaults(test.desktop());
  ScopedOverride<platform::NSApplication> use_application(&application);
  ScopedOverride<platform::NSPasteboard> use_pasteboard(&pasteboard);
  ScopedOverride<platform::NSUserDefaults> use_defaults(&defaults);
  application.SetPresentationOptions(0xFFFF);  // so that every change shows
  Controller controller;
  change(controller);
  json calls = json::array();
  for (auto& entry : test.Journal()) calls.push_back({entry["call"], entry["args"]});
  calls.erase(calls.begin());
  EXPECT_EQ(application.PresentationOptions(), calls.at(0)[1]["options"]);
  return calls;
}

TEST(PresentationModeTest, SetsOptionsThenLocksTheClipboard) {
  const std::pair<std::function<void(Controller&)>, int> cases[] = {
      {[](auto& c) { c.setDockAndMenuHidden(); }, 26},
      {[](auto& c) { c.setUIModeAllHidden(); }, 442},
      {[](auto& c) { c.setUIModeDefault(); }, 0}};
  for (const auto& [change, options] : cases) {
    EXPECT_EQ(PresentationCalls(change),
              json::parse(R"([["setPresentationOptions:", {"options": )" + std::to_string(options) +
                          R"(}],
                  ["setInteger:forKey:", {"domain": "com.apple.coreservices.useractivityd",
                                          "key": "ClipboardSharingEnabled", "value": 0}],
                  ["clearContents", {}]])"));
  }
  // A preferences domain that is the application's own is refused; the
  // clipboard is emptied all the same.
  EXPECT_EQ(PresentationCalls([](auto& c) { c.setUIModeAllHidden(); },
                              R"({"currentApplication":
                                  {"bundleIdentifier": "com.apple.coreservices.useractivityd"}})"),
            R"([["setPresentationOptions:", {"options": 442}], ["clearContents", {}]])"_json);
}

// Runs every function on a thread of its own, all released at once, and
// waits for them. (Not std::latch: the libc++ of the Mac floors has none.)
void Overlap(const std::vector<std::function<void()>>& calls) {
  std::mutex mutex;
  std::condition_variable released;
  size_t waiting = calls.size();
  std::vector<std::thread> threads;
  threads.reserve(calls.size());
  for (const auto& call : calls) {
    threads.emplace_back([&, &call = call] {
      {
        std::unique_lock<std::mutex> lock(mutex);
        if (--waiting == 0) {
          released.notify_all();
        } else {
          released.wait(lock, [&] { return waiting == 0; });
        }
      }
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
  testing::TestDesktop desktop(R"({"displays": [{"id": 1, "main": true}, {"id": 2}, {"id": 3}]})");
  platform::sim::SimDisplays displays(desktop.desktop());
  platform::sim::SimMainThread main_thread(desktop.desktop());
  ScopedOverride<platform::CGDisplay> use_displays(&displays);
  ScopedOverride<platform::NSScreen> use_screens(&displays);
  ScopedOverride<platform::NSEvent> use_events(&main_thread);
  Controller::sharedInputHandler()->setNotificationCenter(lockdown.center);
  const auto& shared = Controller::shared();
  const auto start_listener = [&] { shared->startEventListenerWithDeliveryMode("op", "", false); };
  const auto stop_listener = [&] { shared->stopEventListener(); };
  for (int trial = 0; trial < 20; ++trial) {
    SCOPED_TRACE(trial);
    Overlap({Controller::startInputHandler, Controller::stopInputHandler, start_listener,
             start_listener, stop_listener});
    EXPECT_EQ(displays.captured().empty(), !Controller::sharedInputHandler()->serviceRunning());
    Overlap({Controller::stopInputHandler, stop_listener, Controller::stopInputHandler});
    EXPECT_EQ(displays.captured(), std::vector<platform::CGDirectDisplayID>{});
    EXPECT_EQ(main_thread.monitor_count(), 0U);
    EXPECT_FALSE(Controller::sharedInputHandler()->serviceRunning());
  }
}

// A get-URL event carrying `parameter` under `keyword`, or no parameter.
NSAppleEventDescriptor GetURLEvent(std::optional<NSAppleEventDescriptor> parameter = std::nullopt,
                                   uint32_t keyword = AppDelegateSwift::keyDirectObject) {
  NSAppleEventDescriptor event = NSAppleEventDescriptor::appleEventWithEventClass(
      AppDelegateSwift::kInternetEventClass, AppDelegateSwift::kAEGetURL);
  if (parameter) event.setParamDescriptor(*parameter, keyword);
  return event;
}

TEST(AppDelegateTest, HandsOnlyATextDirectParameterOverUnchanged) {
  const auto text = [](const std::string& url) {
    return NSAppleEventDescriptor::descriptorWithString(url);
  };
  const std::string odd = "https://x.test/a b?q=\u00e9#f\0in"s;
  const std::pair<NSAppleEventDescriptor, std::vector<std::string>> cases[] = {
      {GetURLEvent(text(odd)), {odd}},
      {GetURLEvent(text("")), {""}},
      {GetURLEvent(), {}},
      {GetURLEvent(NSAppleEventDescriptor()), {}},
      {GetURLEvent(text("kestrelgate://x"), platform::MakeFourCharCode("from")), {}},
  };
  for (const auto& [event, urls] : cases) {
    testing::ScopedRecordingHost host;
    NSAppleEventDescriptor reply;
    AppDelegateSwift().handleGetURLEvent(event, reply);
    EXPECT_EQ(host.urls(), urls);
    EXPECT_TRUE(host.logs().empty());
    EXPECT_EQ(host.close_requests(), 0);
  }
}

// The simulated main thread delivering the scenario's events to this test.
struct MainThread {
  explicit MainThread(const std::string& scenario) : test(scenario), main(test.desktop()) {}
  testing::TestDesktop test;
  platform::sim::SimMainThread main;
  ScopedOverride<platform::NSAppleEventManager> use_events{&main};
  ScopedOverride<platform::NSEvent> use_input{&main};
  testing::ScopedRecordingHost host;
};

TEST(AppDelegateTest, TwoRegistrationsLeaveOneHandler) {
  MainThread m(R"({"appleEvents": [
      {"eventClass": "GURL", "eventID": "GURL", "url": "kestrelgate://one"},
      {"eventClass": "aevt", "eventID": "oapp", "url": "ignored"},
      {"eventClass": "GURL", "eventID": "GURL", "url": "kestrelgate://two"}]})");
  auto delegate = std::make_shared<AppDelegateSwift>();
  delegate->registerURLEventHandler();
  delegate->registerURLEventHandler();
  ASSERT_TRUE(m.main.WaitUntilIdle(std::chrono::seconds(10)));
  EXPECT_EQ(m.host.urls(), (std::vector<std::string>{"kestrelgate://one", "kestrelgate://two"}));
}

TEST(AppDelegateTest, ManagerDoesNotKeepTheDelegateAlive) {
  // The open-application event comes first; its handler holds the main
  // thread until the delegate is gone, so the URL behind it can only find an
  // expired delegate.
  MainThread m(R"({"appleEvents": [
      {"eventClass": "aevt", "eventID": "oapp", "url": "ignored"},
      {"eventClass": "GURL", "eventID": "GURL", "url": "kestrelgate://late"}]})");
  std::promise<void> delegate_gone;
  m.main.setEventHandler(
      [gone = delegate_gone.get_future().share()](const NSAppleEventDescriptor&,
                                                  NSAppleEventDescriptor&) { gone.wait(); },
      platform::MakeFourCharCode("aevt"), platform::MakeFourCharCode("oapp"));
  std::weak_ptr<AppDelegateSwift> alive;
  {
    auto delegate = std::make_shared<AppDelegateSwift>();
    alive = delegate;
    delegate->registerURLEventHandler();
  }
  EXPECT_TRUE(alive.expired());
  delegate_gone.set_value();
  ASSERT_TRUE(m.main.WaitUntilIdle(std::chrono::seconds(10)));
  EXPECT_TRUE(m.host.urls().empty());
}

TEST(SecurityControllerEventsTest, EachControllerHasItsOwnListener) {
  MainThread m("{}");
  auto controller = std::make_unique<Controller>();
  EXPECT_NE(controller->sharedEventListener, Controller::shared()->sharedEventListener);
  controller->startEventListenerWithDeliveryMode("ap", std::nullopt, false);
  ASSERT_TRUE(m.main.WaitUntilIdle(std::chrono::seconds(10)));
  EXPECT_EQ(m.main.monitor_count(), 3U);
  controller->stopEventListener();
  EXPECT_EQ(m.main.monitor_count(), 0U);
  std::weak_ptr<EventListenerSwift> listener = controller->sharedEventListener;
  controller.reset();
  EXPECT_TRUE(listener.expired());
}

}  // namespace
}  // namespace osxnatives
