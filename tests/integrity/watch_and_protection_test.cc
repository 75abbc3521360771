#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <stdexcept>

#include "integrity/application_watch.h"
#include "integrity/capture_protection.h"
#include "platform/sim/integrity.h"
#include "tests/support/sim_desktop.h"

namespace osxnatives::integrity {
namespace {

using nlohmann::json;
using platform::ApplicationLifecycleEvent;
using platform::ScopedOverride;
using Outcome = ApplicationWatch::Outcome;

// Collects events delivered on another thread; waits for a count of them.
class Events {
 public:
  void Add(const ApplicationLifecycleEvent& event) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(event);
    changed_.notify_all();
  }
  std::vector<ApplicationLifecycleEvent> WaitFor(size_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(10), [&] { return events_.size() >= count; });
    return events_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<ApplicationLifecycleEvent> events_;
};

constexpr char kLaunches[] = R"({"applicationLaunches": [
  {"pid": 4242, "bundleIdentifier": "com.example.Answers", "localizedName": "Answers"},
  {"pid": "x"},
  {"pid": 4242, "terminated": true, "bundleIdentifier": "com.example.Answers"}]})";

TEST(ApplicationWatchTest, StartsOnceStopsOnceAndDeliversTheScriptInOrder) {
  testing::TestDesktop test(kLaunches);
  auto notifications = platform::sim::LaunchesFromScenario(test.desktop());
  ASSERT_NE(notifications, nullptr);
  ScopedOverride<platform::NSWorkspaceNotifications> use(notifications.get());
  ApplicationWatch watch;

  EXPECT_EQ(watch.Stop().outcome, Outcome::kNotRunning);
  Events events;
  EXPECT_EQ(watch.Start([&](const ApplicationLifecycleEvent& e) { events.Add(e); }).outcome,
            Outcome::kStarted);
  const auto second = watch.Start([](const ApplicationLifecycleEvent&) { FAIL(); });
  EXPECT_EQ(second.outcome, Outcome::kAlreadyRunning);
  EXPECT_FALSE(second.detail.empty());

  const auto seen = events.WaitFor(2);
  ASSERT_EQ(seen.size(), 2U);
  EXPECT_TRUE(seen[0].launched);
  EXPECT_EQ(seen[0].application.processIdentifier, 4242);
  EXPECT_EQ(seen[0].application.localizedName, "Answers");
  EXPECT_FALSE(seen[1].launched);

  EXPECT_EQ(watch.Stop().outcome, Outcome::kStopped);
  EXPECT_EQ(watch.Stop().outcome, Outcome::kNotRunning);
  std::vector<std::string> calls;
  for (const json& entry : test.Journal()) calls.push_back(entry["call"]);
  EXPECT_EQ(calls, (std::vector<std::string>{"addObserver", "removeObserver"}));
}

TEST(ApplicationWatchTest, AThrowingListenerLosesOneEventAndAStopFromTheListenerReturns) {
  testing::TestDesktop test(kLaunches);
  auto notifications = platform::sim::LaunchesFromScenario(test.desktop());
  ScopedOverride<platform::NSWorkspaceNotifications> use(notifications.get());
  ApplicationWatch watch;
  Events events;
  ASSERT_EQ(watch
                .Start([&](const ApplicationLifecycleEvent& e) {
                  if (e.launched) {
                    events.Add(e);
                    throw std::runtime_error("listener bug");
                  }
                  // Stopped from the delivering thread itself, before the test
                  // learns of this event and ends.
                  EXPECT_EQ(watch.Stop().outcome, Outcome::kStopped);
                  events.Add(e);
                })
                .outcome,
            Outcome::kStarted);
  EXPECT_EQ(events.WaitFor(2).size(), 2U);
}

TEST(ApplicationWatchTest, UnavailableWatchSaysWhyAndStaysStopped) {
  struct Refusing : platform::NSWorkspaceNotifications {
    std::optional<std::string> addObservers(platform::ApplicationLifecycleHandler,
                                            std::string* reason) override {
      *reason = "no session";
      return std::nullopt;
    }
    void removeObservers() override { FAIL() << "nothing to remove"; }
  } refusing;
  ScopedOverride<platform::NSWorkspaceNotifications> use(&refusing);
  ApplicationWatch watch;
  const auto answer = watch.Start([](const ApplicationLifecycleEvent&) {});
  EXPECT_EQ(answer.outcome, Outcome::kUnavailable);
  EXPECT_EQ(answer.detail, "no session");
  EXPECT_EQ(watch.Stop().outcome, Outcome::kNotRunning);
}

TEST(CaptureProtectionTest, ProtectsEachWindowAndRestoresWhatEachHad) {
  testing::TestDesktop test(R"({"hostWindows": [{"windowNumber": 11, "sharingType": 1},
      {"windowNumber": 12, "sharingType": 0}, {"windowNumber": 13, "sharingType": 2},
      {"windowNumber": "x"}]})");
  platform::sim::SimWindowSharing sharing(test.desktop());
  ScopedOverride<platform::NSWindowSharing> use(&sharing);
  CaptureProtection protection;

  const json first = json::parse(protection.Protect());
  ASSERT_EQ(first["windows"].size(), 3U);
  EXPECT_EQ(first["windows"][0], json({{"windowNumber", 11}, {"previous", 1}, {"changed", true}}));
  EXPECT_EQ(first["windows"][1], json({{"windowNumber", 12}, {"previous", 0}, {"changed", false}}));
  for (const auto& window : sharing.windows().windows) EXPECT_EQ(window.sharingType, 0);
  // Protecting again keeps what each window had at first.
  const json again = json::parse(protection.Protect());
  EXPECT_EQ(again["windows"][2]["previous"], 2);

  const json restored = json::parse(protection.Restore());
  std::map<int64_t, int64_t> now;
  for (const auto& window : sharing.windows().windows)
    now[window.windowNumber] = window.sharingType;
  EXPECT_EQ(now, (std::map<int64_t, int64_t>{{11, 1}, {12, 0}, {13, 2}}));
  EXPECT_EQ(restored["windows"].size(), 3U);
  EXPECT_EQ(test.Journal("setSharingType:").size(), 2U + 3U);
  EXPECT_TRUE(json::parse(protection.Restore())["windows"].empty());
}

TEST(CaptureProtectionTest, AClosedWindowIsReportedAndNoWindowSystemIsUnknown) {
  struct Closing : platform::NSWindowSharing {
    bool closed = false;
    platform::HostWindowList windows() override { return {{{5, 1}}, std::nullopt}; }
    bool setSharingType(int64_t, int64_t) override { return !closed; }
  } closing;
  ScopedOverride<platform::NSWindowSharing> use(&closing);
  CaptureProtection protection;
  protection.Protect();
  closing.closed = true;
  EXPECT_EQ(json::parse(protection.Restore())["windows"][0]["present"], false);

  struct Headless : platform::NSWindowSharing {
    platform::HostWindowList windows() override { return {{}, "no NSApplication"}; }
    bool setSharingType(int64_t, int64_t) override { throw std::logic_error("no windows"); }
  } headless;
  ScopedOverride<platform::NSWindowSharing> use_headless(&headless);
  EXPECT_EQ(json::parse(protection.Protect()),
            json({{"status", "unknown"}, {"reason", "no NSApplication"}}));
}

}  // namespace
}  // namespace osxnatives::integrity
