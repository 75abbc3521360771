#include "platform/sim/main_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/sim/os_version.h"
#include "tests/support/sim_desktop.h"

namespace osxnatives::platform::sim {
namespace {

using osxnatives::testing::TestDesktop;
using std::chrono::seconds;

constexpr FourCharCode kGURL = MakeFourCharCode("GURL");

// Records which events reached a handler, and on which thread.
class Seen {
 public:
  void Add(const std::string& what) {
    std::lock_guard<std::mutex> lock(mutex_);
    items_.push_back(what);
    threads_.push_back(std::this_thread::get_id());
  }
  std::vector<std::string> items() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return items_;
  }
  std::vector<std::thread::id> threads() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return threads_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> items_;
  std::vector<std::thread::id> threads_;
};

std::string Describe(const Event& event) {
  return std::to_string(static_cast<int>(event.type)) + ":" + std::to_string(event.keyCode);
}

// Installs the listener's local set: a key-down monitor that swallows key code
// 12 and passes the rest, and swallowing mouse/gesture and pressure monitors.
void InstallLocalSet(SimMainThread& main, Seen& seen) {
  main.addLocalMonitorForEventsMatchingMask(kEventMaskKeyDown, [&seen](const Event& e) {
    seen.Add("local " + Describe(e));
    return e.keyCode == 12 ? std::nullopt : std::optional<Event>(e);
  });
  main.addLocalMonitorForEventsMatchingMask(kEventMaskOtherMouseDown | kEventMaskGesture,
                                            [&seen](const Event& e) {
                                              seen.Add("mouse " + Describe(e));
                                              return std::optional<Event>();
                                            });
  main.addLocalMonitorForEventsMatchingMask(kEventMaskPressure, [&seen](const Event& e) {
    seen.Add("pressure " + Describe(e));
    return std::optional<Event>();
  });
}

TEST(SimMainThreadTest, InputWaitsForTheFullLocalSetThenFlowsInOrderOnItsOwnThread) {
  TestDesktop test(R"({"inputEvents": [
      {"type": "keyDown", "keyCode": 12, "modifierFlags": 1048576},
      {"type": "keyDown", "keyCode": 4, "global": true},
      {"type": "otherMouseDown"},
      {"type": "gesture", "global": false},
      {"type": "pressure"},
      {"type": "keyDown", "keyCode": 48, "modifierFlags": 1048576}]})");
  SimMainThread main(test.desktop());
  Seen seen;
  main.addGlobalMonitorForEventsMatchingMask(
      kEventMaskKeyDown, [&seen](const Event& e) { seen.Add("global " + Describe(e)); });
  main.addLocalMonitorForEventsMatchingMask(kEventMaskKeyDown, [&seen](const Event& e) {
    seen.Add("early " + Describe(e));
    return std::optional<Event>(e);
  });
  // Not the full local set yet: nothing is deliverable.
  ASSERT_TRUE(main.WaitUntilIdle(seconds(10)));
  EXPECT_TRUE(seen.items().empty());
  EXPECT_TRUE(test.Journal("deliver").empty());

  InstallLocalSet(main, seen);
  ASSERT_TRUE(main.WaitUntilIdle(seconds(10)));
  EXPECT_EQ(seen.items(), (std::vector<std::string>{"early 10:12", "local 10:12", "global 10:4",
                                                    "mouse 25:0", "mouse 29:0", "pressure 34:0",
                                                    "early 10:48", "local 10:48"}));
  for (auto id : seen.threads()) EXPECT_NE(id, std::this_thread::get_id());

  const auto delivered = test.Journal("deliver");
  ASSERT_EQ(delivered.size(), 6U);
  const std::vector<std::string> results = {"swallowed", "passed",    "swallowed",
                                            "swallowed", "swallowed", "passed"};
  const std::vector<int> monitors = {2, 1, 1, 1, 1, 2};
  for (size_t i = 0; i < delivered.size(); ++i) {
    EXPECT_EQ(delivered[i]["service"], "NSEvent");
    EXPECT_EQ(delivered[i]["result"], results[i]) << i;
    EXPECT_EQ(delivered[i]["monitors"], monitors[i]) << i;
  }
  EXPECT_EQ(
      delivered[0]["args"],
      nlohmann::json(
          {{"type", "keyDown"}, {"keyCode", 12}, {"modifierFlags", 1048576}, {"global", false}}));
  EXPECT_EQ(delivered[1]["args"]["global"], true);
}

TEST(SimMainThreadTest, EventsAfterTheMonitorsAreRemovedPass) {
  TestDesktop test(R"({"inputEvents": [{"type": "pressure"}, {"type": "keyDown", "keyCode": 1},
                                      {"type": "pressure"}]})");
  SimMainThread main(test.desktop());
  std::vector<EventMonitor> tokens;
  for (uint64_t mask : {kEventMaskKeyDown, kEventMaskOtherMouseDown | kEventMaskGesture}) {
    tokens.push_back(*main.addLocalMonitorForEventsMatchingMask(
        mask, [](const Event&) { return std::optional<Event>(); }));
  }
  std::atomic<int> pressure_seen{0};
  // The pressure handler removes every monitor, its own included, from the
  // main thread; the event in hand is still swallowed, the later ones pass.
  main.addLocalMonitorForEventsMatchingMask(kEventMaskPressure, [&](const Event&) {
    ++pressure_seen;
    for (const auto& token : tokens) main.removeMonitor(token);
    main.removeMonitor(EventMonitor{3});
    return std::optional<Event>();
  });
  ASSERT_TRUE(main.WaitUntilIdle(seconds(10)));
  EXPECT_EQ(pressure_seen.load(), 1);
  EXPECT_EQ(main.monitor_count(), 0U);
  main.removeMonitor(tokens[0]);  // a second removal does nothing
  const auto delivered = test.Journal("deliver");
  ASSERT_EQ(delivered.size(), 3U);
  EXPECT_EQ(delivered[0]["result"], "swallowed");
  EXPECT_EQ(delivered[1]["result"], "passed");
  EXPECT_EQ(delivered[1]["monitors"], 0);
  EXPECT_EQ(delivered[2]["result"], "passed");
  EXPECT_EQ(test.Journal("removeMonitor:").size(), 4U);
}

TEST(SimMainThreadTest, AppleEventsWaitForTheGetURLHandlerWhichALaterOneReplaces) {
  TestDesktop test(R"({"appleEvents": [
      {"eventClass": "aevt", "eventID": "odoc", "url": "file:///tmp/a"},
      {"eventClass": "GURL", "eventID": "GURL", "url": "kestrelgate://exam/42?x=\u00e9 y"},
      {"eventClass": "GURL", "eventID": "GURL", "url": "kestrelgate://second"}]})");
  SimMainThread main(test.desktop());
  Seen seen;
  main.setEventHandler(
      [&seen](const NSAppleEventDescriptor& event, NSAppleEventDescriptor&) {
        seen.Add("odoc " +
                 *event.paramDescriptorForKeyword(MakeFourCharCode("----"))->stringValue());
      },
      MakeFourCharCode("aevt"), MakeFourCharCode("odoc"));
  ASSERT_TRUE(main.WaitUntilIdle(seconds(10)));
  EXPECT_TRUE(seen.items().empty());

  std::mutex mutex;
  std::condition_variable changed;
  bool entered = false;
  bool replaced = false;
  main.setEventHandler(
      [&](const NSAppleEventDescriptor& event, NSAppleEventDescriptor&) {
        seen.Add("first " +
                 *event.paramDescriptorForKeyword(MakeFourCharCode("----"))->stringValue());
        std::unique_lock<std::mutex> lock(mutex);
        entered = true;
        changed.notify_all();
        changed.wait(lock, [&] { return replaced; });
      },
      kGURL, kGURL);
  {
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, seconds(10), [&] { return entered; }));
  }
  main.setEventHandler(
      [&seen](const NSAppleEventDescriptor& event, NSAppleEventDescriptor&) {
        seen.Add("second " +
                 *event.paramDescriptorForKeyword(MakeFourCharCode("----"))->stringValue());
      },
      kGURL, kGURL);
  {
    std::lock_guard<std::mutex> lock(mutex);
    replaced = true;
  }
  changed.notify_all();
  ASSERT_TRUE(main.WaitUntilIdle(seconds(10)));
  EXPECT_EQ(seen.items(), (std::vector<std::string>{"odoc file:///tmp/a",
                                                    "first kestrelgate://exam/42?x=\u00e9 y",
                                                    "second kestrelgate://second"}));
  const auto registrations = test.Journal("setEventHandler:andSelector:forEventClass:andEventID:");
  ASSERT_EQ(registrations.size(), 3U);
  EXPECT_EQ(registrations[1]["args"],
            nlohmann::json({{"eventClass", "GURL"}, {"eventID", "GURL"}}));
  const auto delivered = test.Journal("deliver");
  ASSERT_EQ(delivered.size(), 3U);
  EXPECT_EQ(delivered[0]["result"], "handled");
  EXPECT_EQ(delivered[1]["args"]["url"], "kestrelgate://exam/42?x=\u00e9 y");
}

TEST(SimMainThreadTest, UnhandledAppleEventsAreJournaled) {
  TestDesktop test(R"({"appleEvents": [
      {"eventClass": "aevt", "eventID": "quit", "url": "x"},
      {"eventClass": "GURL", "eventID": "GURL", "url": "kestrelgate://a"}]})");
  SimMainThread main(test.desktop());
  std::vector<std::string> urls;
  main.setEventHandler(
      [&urls](const NSAppleEventDescriptor& event, NSAppleEventDescriptor&) {
        urls.push_back(*event.paramDescriptorForKeyword(MakeFourCharCode("----"))->stringValue());
      },
      kGURL, kGURL);
  ASSERT_TRUE(main.WaitUntilIdle(seconds(10)));
  EXPECT_EQ(urls, std::vector<std::string>{"kestrelgate://a"});
  const auto delivered = test.Journal("deliver");
  ASSERT_EQ(delivered.size(), 2U);
  EXPECT_EQ(delivered[0]["result"], "unhandled");
  EXPECT_EQ(delivered[0]["args"]["eventID"], "quit");
  EXPECT_EQ(delivered[1]["result"], "handled");
}

struct BadEntryCase {
  const char* name;
  const char* key;
  const char* entry;
};

void PrintTo(const BadEntryCase& c, std::ostream* os) { *os << c.name; }

class BadEntryTest : public ::testing::TestWithParam<BadEntryCase> {};

TEST_P(BadEntryTest, IsSkippedWithOneLineAndTheRestIsDelivered) {
  const BadEntryCase& c = GetParam();
  const std::string scenario =
      std::string(R"({"inputEvents": [{"type": "keyDown", "keyCode": 1}, )") +
      (std::string(c.key) == "inputEvents" ? std::string(c.entry) + ", " : "") +
      R"({"type": "pressure"}], "appleEvents": [{"eventClass": "GURL", "eventID": "GURL", "url": "a"}, )" +
      (std::string(c.key) == "appleEvents" ? std::string(c.entry) + ", " : "") +
      R"({"eventClass": "GURL", "eventID": "GURL", "url": "b"}]})";
  TestDesktop test(scenario);
  ::testing::internal::CaptureStderr();
  SimMainThread main(test.desktop());
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  EXPECT_NE(err.find(c.key), std::string::npos) << err;
  EXPECT_NE(err.find("[1]"), std::string::npos) << err;

  EXPECT_EQ(main.Run(0, nullptr), 0);
  const auto delivered = test.Journal("deliver");
  ASSERT_EQ(delivered.size(), 4U);
  EXPECT_EQ(delivered[0]["args"]["keyCode"], 1);
  EXPECT_EQ(delivered[1]["args"]["type"], "pressure");
  EXPECT_EQ(delivered[2]["args"]["url"], "a");
  EXPECT_EQ(delivered[3]["args"]["url"], "b");
}

INSTANTIATE_TEST_SUITE_P(
    Entries, BadEntryTest,
    ::testing::Values(
        BadEntryCase{"NotAnObject", "inputEvents", "12"},
        BadEntryCase{"NoType", "inputEvents", R"({"keyCode": 12})"},
        BadEntryCase{"TypeNotText", "inputEvents", R"({"type": 10, "keyCode": 12})"},
        BadEntryCase{"UnknownType", "inputEvents", R"({"type": "leftMouseDown"})"},
        BadEntryCase{"KeyDownWithoutKeyCode", "inputEvents", R"({"type": "keyDown"})"},
        BadEntryCase{"KeyCodeText", "inputEvents", R"({"type": "keyDown", "keyCode": "12"})"},
        BadEntryCase{"KeyCodeNegative", "inputEvents", R"({"type": "keyDown", "keyCode": -1})"},
        BadEntryCase{"KeyCodeTooLarge", "inputEvents", R"({"type": "keyDown", "keyCode": 65536})"},
        BadEntryCase{"KeyCodeFraction", "inputEvents", R"({"type": "keyDown", "keyCode": 1.5})"},
        BadEntryCase{"FlagsNegative", "inputEvents",
                     R"({"type": "keyDown", "keyCode": 1, "modifierFlags": -1})"},
        BadEntryCase{"FlagsText", "inputEvents",
                     R"({"type": "keyDown", "keyCode": 1, "modifierFlags": "cmd"})"},
        BadEntryCase{"GlobalText", "inputEvents", R"({"type": "gesture", "global": "yes"})"},
        BadEntryCase{"AppleNotAnObject", "appleEvents", R"("GURL")"},
        BadEntryCase{"NoEventClass", "appleEvents", R"({"eventID": "GURL", "url": "x"})"},
        BadEntryCase{"ShortEventClass", "appleEvents",
                     R"({"eventClass": "GUR", "eventID": "GURL", "url": "x"})"},
        BadEntryCase{"NumericEventID", "appleEvents",
                     R"({"eventClass": "GURL", "eventID": 1196773964, "url": "x"})"},
        BadEntryCase{"UrlNotText", "appleEvents",
                     R"({"eventClass": "GURL", "eventID": "GURL", "url": 42})"},
        BadEntryCase{"NoDirectParameter", "appleEvents",
                     R"({"eventClass": "GURL", "eventID": "GURL"})"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SimMainThreadTest, QueuesThatAreNotArraysGiveOneLineEach) {
  TestDesktop test(R"({"inputEvents": {"type": "keyDown"}, "appleEvents": "GURL"})");
  ::testing::internal::CaptureStderr();
  SimMainThread main(test.desktop());
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 2) << err;
  EXPECT_EQ(main.Run(0, nullptr), 0);
  EXPECT_TRUE(test.Journal("deliver").empty());
}

TEST(SimMainThreadTest, ThrowingHandlersDoNotStopDelivery) {
  TestDesktop test(R"({"inputEvents": [{"type": "keyDown", "keyCode": 1},
                                      {"type": "keyDown", "keyCode": 2}],
                      "appleEvents": [{"eventClass": "GURL", "eventID": "GURL", "url": "a"},
                                      {"eventClass": "GURL", "eventID": "GURL", "url": "b"}]})");
  SimMainThread main(test.desktop());
  // Delivery starts as soon as the handlers are installed.
  ::testing::internal::CaptureStderr();
  std::atomic<int> calls{0};
  main.addLocalMonitorForEventsMatchingMask(
      kEventMaskKeyDown | kEventMaskOtherMouseDown | kEventMaskGesture | kEventMaskPressure,
      [&calls](const Event&) -> std::optional<Event> {
        ++calls;
        throw std::runtime_error("monitor failure");
      });
  main.setEventHandler(
      [&calls](const NSAppleEventDescriptor&, NSAppleEventDescriptor&) {
        ++calls;
        throw 7;
      },
      kGURL, kGURL);
  ASSERT_TRUE(main.WaitUntilIdle(seconds(10)));
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(calls.load(), 4);
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 4) << err;
  EXPECT_NE(err.find("monitor failure"), std::string::npos) << err;
  EXPECT_EQ(test.Journal("deliver").size(), 4U);
}

TEST(SimMainThreadTest, RunDeliversEverythingToWhatIsInstalledAndReturnsZero) {
  TestDesktop test(R"({"inputEvents": [{"type": "keyDown", "keyCode": 12}, {"type": "gesture"}],
                      "appleEvents": [{"eventClass": "GURL", "eventID": "GURL", "url": "a"}]})");
  SimMainThread main(test.desktop());
  std::atomic<int> seen{0};
  main.addLocalMonitorForEventsMatchingMask(kEventMaskGesture, [&seen](const Event&) {
    ++seen;
    return std::optional<Event>();
  });
  EXPECT_EQ(main.Run(0, nullptr), 0);
  EXPECT_EQ(seen.load(), 1);
  const auto delivered = test.Journal("deliver");
  ASSERT_EQ(delivered.size(), 3U);
  EXPECT_EQ(delivered[0]["result"], "passed");
  EXPECT_EQ(delivered[1]["result"], "swallowed");
  EXPECT_EQ(delivered[2]["result"], "unhandled");
}

TEST(SimMainThreadTest, HandlersMayInstallMonitorsFromTheMainThread) {
  TestDesktop test(R"({"inputEvents": [{"type": "keyDown", "keyCode": 1},
                                      {"type": "keyDown", "keyCode": 2}],
                      "appleEvents": [{"eventClass": "GURL", "eventID": "GURL", "url": "a"}]})");
  SimMainThread main(test.desktop());
  Seen seen;
  // The URL handler installs the local set from the delivering thread itself.
  main.setEventHandler(
      [&](const NSAppleEventDescriptor&, NSAppleEventDescriptor&) { InstallLocalSet(main, seen); },
      kGURL, kGURL);
  ASSERT_TRUE(main.WaitUntilIdle(seconds(10)));
  EXPECT_EQ(seen.items(), (std::vector<std::string>{"local 10:1", "local 10:2"}));
}

TEST(SimMainThreadTest, DestructionWaitsForTheEventInHand) {
  auto test = std::make_unique<TestDesktop>(
      R"({"appleEvents": [{"eventClass": "GURL", "eventID": "GURL", "url": "a"},
                          {"eventClass": "GURL", "eventID": "GURL", "url": "b"}]})");
  auto main = std::make_unique<SimMainThread>(test->desktop());
  std::mutex mutex;
  std::condition_variable changed;
  bool entered = false;
  bool finished = false;
  int calls = 0;
  main->setEventHandler(
      [&](const NSAppleEventDescriptor&, NSAppleEventDescriptor&) {
        std::unique_lock<std::mutex> lock(mutex);
        ++calls;
        entered = true;
        changed.notify_all();
        // Give the destructor the chance to start while the event is in hand.
        changed.wait_for(lock, std::chrono::milliseconds(200));
        finished = true;
      },
      kGURL, kGURL);
  {
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, seconds(10), [&] { return entered; }));
  }
  main.reset();
  std::lock_guard<std::mutex> lock(mutex);
  EXPECT_TRUE(finished);
  EXPECT_EQ(calls, 1);  // stopped after the event in hand
}

struct VersionCase {
  const char* text;
  std::optional<NSOperatingSystemVersion> version;
};

TEST(SimOperatingSystemVersionTest, ParsesDottedVersions) {
  const VersionCase cases[] = {
      {"14", NSOperatingSystemVersion{14, 0, 0}},
      {"14.2", NSOperatingSystemVersion{14, 2, 0}},
      {"13.6.1", NSOperatingSystemVersion{13, 6, 1}},
      {"10.15.7", NSOperatingSystemVersion{10, 15, 7}},
      {"", std::nullopt},
      {"14.", std::nullopt},
      {".14", std::nullopt},
      {"14.2.1.0", std::nullopt},
      {"-14", std::nullopt},
      {"14.x", std::nullopt},
      {"fourteen", std::nullopt},
      {"99999999999999999999", std::nullopt},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SimOperatingSystemVersion::Parse(c.text), c.version) << c.text;
}

TEST(SimOperatingSystemVersionTest, ScenarioValues) {
  EXPECT_EQ(SimOperatingSystemVersion(TestDesktop().desktop()).operatingSystemVersion(),
            (NSOperatingSystemVersion{14, 0, 0}));
  EXPECT_EQ(SimOperatingSystemVersion(TestDesktop(R"({"osVersion": "13.5"})").desktop())
                .operatingSystemVersion(),
            (NSOperatingSystemVersion{13, 5, 0}));
  EXPECT_EQ(SimOperatingSystemVersion(TestDesktop(R"({"osVersion": 15})").desktop())
                .operatingSystemVersion(),
            (NSOperatingSystemVersion{15, 0, 0}));
  TestDesktop bad(R"({"osVersion": "Sonoma"})");
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(SimOperatingSystemVersion(bad.desktop()).operatingSystemVersion(),
            (NSOperatingSystemVersion{14, 0, 0}));
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("osVersion"), std::string::npos) << err;
}

}  // namespace
}  // namespace osxnatives::platform::sim
