#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <string>

#include "controller/app_delegate_swift.h"
#include "controller/security_controller_swift.h"
#include "events/event_listener_swift.h"
#include "platform/sim/main_thread.h"
#include "tests/support/recording_host.h"
#include "tests/support/sim_desktop.h"

namespace osxnatives {
namespace {

using platform::MakeFourCharCode;
using platform::NSAppleEventDescriptor;
using std::chrono::seconds;

TEST(AppDelegateConstantsTest, AreTheAppleEventCodes) {
  EXPECT_EQ(AppDelegateSwift::kInternetEventClass, 0x4755524CU);
  EXPECT_EQ(AppDelegateSwift::kAEGetURL, 0x4755524CU);
  EXPECT_EQ(AppDelegateSwift::keyDirectObject, 0x2D2D2D2DU);
}

NSAppleEventDescriptor GetURLEvent() {
  return NSAppleEventDescriptor::appleEventWithEventClass(AppDelegateSwift::kInternetEventClass,
                                                          AppDelegateSwift::kAEGetURL);
}

TEST(HandleGetURLEventTest, HandsTheDirectParameterOverUnchanged) {
  for (const std::string& url :
       std::vector<std::string>{"kestrelgate://exam/42", "https://x.test/a b?q=\u00e9&r=%20#f", "",
                                "not a url at all", std::string("nul\0inside", 10)}) {
    testing::ScopedRecordingHost host;
    NSAppleEventDescriptor event = GetURLEvent();
    event.setParamDescriptor(NSAppleEventDescriptor::descriptorWithString(url),
                             AppDelegateSwift::keyDirectObject);
    NSAppleEventDescriptor reply;
    AppDelegateSwift().handleGetURLEvent(event, reply);
    EXPECT_EQ(host.urls(), std::vector<std::string>{url});
    EXPECT_TRUE(host.logs().empty());
  }
}

TEST(HandleGetURLEventTest, IgnoresEventsWithoutATextDirectParameter) {
  testing::ScopedRecordingHost host;
  NSAppleEventDescriptor reply;
  AppDelegateSwift delegate;
  delegate.handleGetURLEvent(GetURLEvent(), reply);  // no parameter

  NSAppleEventDescriptor no_text = GetURLEvent();
  no_text.setParamDescriptor(NSAppleEventDescriptor(), AppDelegateSwift::keyDirectObject);
  delegate.handleGetURLEvent(no_text, reply);

  NSAppleEventDescriptor other_keyword = GetURLEvent();
  other_keyword.setParamDescriptor(NSAppleEventDescriptor::descriptorWithString("kestrelgate://x"),
                                   MakeFourCharCode("from"));
  delegate.handleGetURLEvent(other_keyword, reply);

  EXPECT_TRUE(host.urls().empty());
  EXPECT_TRUE(host.logs().empty());
  EXPECT_EQ(host.close_requests(), 0);
}

constexpr char kTwoURLs[] = R"({"appleEvents": [
    {"eventClass": "GURL", "eventID": "GURL", "url": "kestrelgate://one"},
    {"eventClass": "aevt", "eventID": "oapp", "url": "ignored"},
    {"eventClass": "GURL", "eventID": "GURL", "url": "kestrelgate://two"}]})";

TEST(RegisterURLEventHandlerTest, TwoRegistrationsLeaveOneHandler) {
  testing::TestDesktop test(kTwoURLs);
  platform::sim::SimMainThread main(test.desktop());
  platform::ScopedOverride<platform::NSAppleEventManager> use_main(&main);
  testing::ScopedRecordingHost host;
  auto delegate = std::make_shared<AppDelegateSwift>();
  delegate->registerURLEventHandler();
  delegate->registerURLEventHandler();
  ASSERT_TRUE(main.WaitUntilIdle(seconds(10)));
  EXPECT_EQ(host.urls(), (std::vector<std::string>{"kestrelgate://one", "kestrelgate://two"}));
  const auto registered = test.Journal("setEventHandler:andSelector:forEventClass:andEventID:");
  ASSERT_EQ(registered.size(), 2U);
  EXPECT_EQ(registered[0]["args"], nlohmann::json({{"eventClass", "GURL"}, {"eventID", "GURL"}}));
}

TEST(RegisterURLEventHandlerTest, ManagerDoesNotKeepTheDelegateAlive) {
  // The open-application event comes first; its handler holds the main
  // thread until the delegate is gone, so the URL behind it can only find an
  // expired delegate.
  testing::TestDesktop test(R"({"appleEvents": [
      {"eventClass": "aevt", "eventID": "oapp", "url": "ignored"},
      {"eventClass": "GURL", "eventID": "GURL", "url": "kestrelgate://late"}]})");
  platform::sim::SimMainThread main(test.desktop());
  platform::ScopedOverride<platform::NSAppleEventManager> use_main(&main);
  testing::ScopedRecordingHost host;
  std::promise<void> delegate_gone;
  std::shared_future<void> gone = delegate_gone.get_future().share();
  main.setEventHandler(
      [gone](const NSAppleEventDescriptor&, NSAppleEventDescriptor&) { gone.wait(); },
      MakeFourCharCode("aevt"), MakeFourCharCode("oapp"));
  std::weak_ptr<AppDelegateSwift> alive;
  {
    auto delegate = std::make_shared<AppDelegateSwift>();
    alive = delegate;
    delegate->registerURLEventHandler();
  }
  EXPECT_TRUE(alive.expired());
  delegate_gone.set_value();
  ASSERT_TRUE(main.WaitUntilIdle(seconds(10)));
  EXPECT_TRUE(host.urls().empty());
}

TEST(SecurityControllerEventsTest, EachControllerHasItsOwnPair) {
  SecurityControllerSwift first;
  SecurityControllerSwift second;
  ASSERT_NE(first.sharedAppDelegation, nullptr);
  ASSERT_NE(first.sharedEventListener, nullptr);
  EXPECT_NE(first.sharedAppDelegation, second.sharedAppDelegation);
  EXPECT_NE(first.sharedEventListener, second.sharedEventListener);
  EXPECT_NE(first.sharedEventListener, SecurityControllerSwift::shared()->sharedEventListener);
  // The shared controller keeps its pair.
  EXPECT_EQ(SecurityControllerSwift::shared()->sharedEventListener,
            SecurityControllerSwift::shared()->sharedEventListener);
  std::weak_ptr<EventListenerSwift> listener;
  {
    SecurityControllerSwift temporary;
    listener = temporary.sharedEventListener;
  }
  EXPECT_TRUE(listener.expired());
}

TEST(SecurityControllerEventsTest, StartAndStopReachTheControllersListener) {
  testing::TestDesktop test(R"({"inputEvents": [
      {"type": "keyDown", "keyCode": 4, "modifierFlags": 1048576}]})");
  platform::sim::SimMainThread main(test.desktop());
  platform::ScopedOverride<platform::NSEvent> use_main(&main);
  testing::ScopedRecordingHost host;
  SecurityControllerSwift controller;
  controller.startEventListenerWithDeliveryMode("ap", std::nullopt, false);
  ASSERT_TRUE(main.WaitUntilIdle(seconds(10)));
  EXPECT_EQ(host.logs(), (std::vector<testing::LogLine>{{"key down CMD + H", "INFO"}}));
  EXPECT_EQ(main.monitor_count(), 3U);
  controller.stopEventListener();
  EXPECT_EQ(main.monitor_count(), 0U);
  EXPECT_EQ(test.Journal("removeMonitor:").size(), 3U);
}

}  // namespace
}  // namespace osxnatives
