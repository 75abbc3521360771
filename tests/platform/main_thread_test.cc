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
    off_caller_ = off_caller_ && std::this_thread::get_id() != caller_;
  }
  std::vector<std::string> items() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return items_;
  }
  // Whether no handler ran on the thread that created this.
  bool off_caller() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return off_caller_;
  }

 private:
  mutable std::mutex mutex_;
  const std::thread::id caller_ = std::this_thread::get_id();
  std::vector<std::string> items_;
  bool off_caller_ = true;
};

// The direct parameter of a get-URL or open-document event.
std::string Url(const NSAppleEventDescriptor& event) {
  return *event.paramDescriptorForKeyword(MakeFourCharCode("----"))->stringValue();
}

// The value of `key` in every "deliver" entry of the journal, in order.
nlohmann::json Delivered(const TestDesktop& test, const char* key) {
  nlohmann::json values = nlohmann::json::array();
  for (const auto& entry : test.Journal("deliver")) values.push_back(entry[key]);
  return values;
}

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
  EXPECT_TRUE(seen.off_caller());

  EXPECT_EQ(Delivered(test, "result"), nlohmann::json({"swallowed", "passed", "swallowed",
                                                       "swallowed", "swallowed", "passed"}));
  EXPECT_EQ(Delivered(test, "monitors"), nlohmann::json({2, 1, 1, 1, 1, 2}));
  const auto delivered = test.Journal("deliver");
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
  EXPECT_EQ(Delivered(test, "result"), nlohmann::json({"swallowed", "passed", "passed"}));
  EXPECT_EQ(Delivered(test, "monitors")[1], 0);
  EXPECT_EQ(test.Journal("removeMonitor:").size(), 4U);
}

TEST(SimMainThreadTest, AppleEventsWaitForTheGetURLHandlerWhichALaterOneReplaces) {
  TestDesktop test(R"({"appleEvents": [
      {"eventClass": "aevt", "eventID": "odoc", "url": "file:///tmp/a"},
      {"eventClass": "GURL", "eventID": "GURL", "url": "kestrelgate://exam/42?x=\u00e9 y"},
      {"eventClass": "GURL", "eventID": "GURL", "url": "kestrelgate://second"}]})");
  SimMainThread main(test.desktop());
  Seen seen;
  main.setEventHandler([&seen](const NSAppleEventDescriptor& event,
                               NSAppleEventDescriptor&) { seen.Add("odoc " + Url(event)); },
                       MakeFourCharCode("aevt"), MakeFourCharCode("odoc"));
  ASSERT_TRUE(main.WaitUntilIdle(seconds(10)));
  EXPECT_TRUE(seen.items().empty());

  // The first get-URL handler replaces itself while its event is in hand.
  auto second = [&seen](const NSAppleEventDescriptor& event, NSAppleEventDescriptor&) {
    seen.Add("second " + Url(event));
  };
  main.setEventHandler(
      [&](const NSAppleEventDescriptor& event, NSAppleEventDescriptor&) {
        seen.Add("first " + Url(event));
        main.setEventHandler(second, kGURL, kGURL);
      },
      kGURL, kGURL);
  ASSERT_TRUE(main.WaitUntilIdle(seconds(10)));
  EXPECT_EQ(seen.items(), (std::vector<std::string>{"odoc file:///tmp/a",
                                                    "first kestrelgate://exam/42?x=\u00e9 y",
                                                    "second kestrelgate://second"}));
  EXPECT_EQ(Delivered(test, "result"), nlohmann::json({"handled", "handled", "handled"}));
  EXPECT_EQ(Delivered(test, "args")[1]["url"], "kestrelgate://exam/42?x=\u00e9 y");
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
  const nlohmann::json args = Delivered(test, "args");
  ASSERT_EQ(args.size(), 4U);
  EXPECT_EQ(args[0]["keyCode"], 1);
  EXPECT_EQ(args[1]["type"], "pressure");
  EXPECT_EQ(args[2]["url"], "a");
  EXPECT_EQ(args[3]["url"], "b");
}

INSTANTIATE_TEST_SUITE_P(
    Entries, BadEntryTest,
    ::testing::Values(
        BadEntryCase{"NotAnObject", "inputEvents", "12"},
        BadEntryCase{"UnknownType", "inputEvents", R"({"type": "leftMouseDown"})"},
        BadEntryCase{"KeyDownWithoutKeyCode", "inputEvents", R"({"type": "keyDown"})"},
        BadEntryCase{"KeyCodeTooLarge", "inputEvents", R"({"type": "keyDown", "keyCode": 65536})"},
        BadEntryCase{"KeyCodeFraction", "inputEvents", R"({"type": "keyDown", "keyCode": 1.5})"},
        BadEntryCase{"FlagsNegative", "inputEvents",
                     R"({"type": "keyDown", "keyCode": 1, "modifierFlags": -1})"},
        BadEntryCase{"GlobalText", "inputEvents", R"({"type": "gesture", "global": "yes"})"},
        BadEntryCase{"ShortEventClass", "appleEvents",
                     R"({"eventClass": "GUR", "eventID": "GURL", "url": "x"})"},
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
      {"", std::nullopt},
      {"14.", std::nullopt},
      {"14.2.1.0", std::nullopt},
      {"14.x", std::nullopt},
      {"99999999999999999999", std::nullopt},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SimOperatingSystemVersion::Parse(c.text), c.version) << c.text;
}

TEST(SimOperatingSystemVersionTest, ScenarioValues) {
  auto version = [](const char* scenario) {
    return SimOperatingSystemVersion(TestDesktop(scenario).desktop()).operatingSystemVersion();
  };
  EXPECT_EQ(version("{}"), (NSOperatingSystemVersion{14, 0, 0}));
  EXPECT_EQ(version(R"({"osVersion": 15})"), (NSOperatingSystemVersion{15, 0, 0}));
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(version(R"({"osVersion": "Sonoma"})"), (NSOperatingSystemVersion{14, 0, 0}));
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("osVersion"), std::string::npos) << err;
}

}  // namespace
}  // namespace osxnatives::platform::sim
