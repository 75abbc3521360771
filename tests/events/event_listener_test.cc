#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "events/event_listener_swift.h"
#include "platform/sim/main_thread.h"
#include "platform/sim/os_version.h"
#include "platform/sim/presentation.h"
#include "platform/sim/workspace.h"
#include "tests/support/recording_host.h"
#include "tests/support/sim_desktop.h"

namespace osxnatives {
namespace {

using platform::Event;
using platform::NSEventType;
using platform::ScopedOverride;
using testing::LogLine;

constexpr uint64_t kCmd = platform::kEventModifierFlagCommand;
constexpr uint64_t kShift = platform::kEventModifierFlagShift;
constexpr uint64_t kOption = platform::kEventModifierFlagOption;
constexpr uint16_t kQ = 12, kH = 4, kTab = 48;
constexpr char kBrowser[] = "com.trevant.qor.Kestrelgate";
constexpr char kPimzo[] = "com.Electron.Pimzo";  // capitals exercise the lower-casing
constexpr char kWebex[] = "Cisco-Systems.Spark";

using Apps = std::vector<std::pair<int, std::string>>;

// A simulated desktop with a recording host: the browser is the host process
// (pid 0); a null title means no key window.
nlohmann::json Desktop(const char* title = nullptr, const char* os = "14.0",
                       const char* frontmost = nullptr,
                       const Apps& apps = {{0, kBrowser}, {601, kPimzo}, {602, kWebex}}) {
  nlohmann::json scenario = {{"osVersion", os}, {"runningApplications", nlohmann::json::array()}};
  for (const auto& [pid, id] : apps)
    scenario["runningApplications"].push_back({{"pid", pid}, {"bundleIdentifier", id}});
  if (title) scenario["keyWindowTitle"] = title;
  if (frontmost) scenario["frontmostApplication"] = frontmost;
  return scenario;
}

struct SimPlatform {
  explicit SimPlatform(const nlohmann::json& scenario) : test_(scenario.dump()) {}

  // The activation calls of the journal, as "<call> <bundle id> [options]".
  std::vector<std::string> Activations() const {
    std::vector<std::string> calls;
    for (const auto& entry : test_.Journal()) {
      const auto& args = entry["args"];
      if (entry["call"] == "yieldActivationToApplication:") {
        calls.push_back("yield " + args["bundleIdentifier"].get<std::string>());
      } else if (entry["call"] == "activateWithOptions:") {
        calls.push_back("activate " + args["bundleIdentifier"].get<std::string>() + " " +
                        std::to_string(args["options"].get<int>()));
      }
    }
    return calls;
  }

  // The process ids that the yield and the activation named, in order.
  std::vector<int> ActivatedPids() const {
    std::vector<int> pids;
    for (const auto& entry : test_.Journal()) {
      if (entry["call"] == "yieldActivationToApplication:" ||
          entry["call"] == "activateWithOptions:") {
        pids.push_back(entry["args"]["processIdentifier"].get<int>());
      }
    }
    return pids;
  }

  testing::TestDesktop test_;
  platform::sim::SimApplication application_{test_.desktop()};
  platform::sim::SimWorkspace workspace_{test_.desktop(), 4242};
  platform::sim::SimOperatingSystemVersion version_{test_.desktop()};
  platform::sim::SimMainThread main_thread_{test_.desktop()};
  ScopedOverride<platform::NSApplication> use_application_{&application_};
  ScopedOverride<platform::NSWorkspace> use_workspace_{&workspace_};
  ScopedOverride<platform::OperatingSystemVersionInfo> use_version_{&version_};
  ScopedOverride<platform::NSEvent> use_events_{&main_thread_};
  testing::ScopedRecordingHost host_;
};

// The activation calls expected when `target` is brought forward on `os`.
std::vector<std::string> ActivationOf(const char* target, const std::string& os) {
  if (target == nullptr) return {};
  const std::string id = target;
  if (std::stoi(os) < 14) return {"activate " + id + " 3"};
  return {"yield " + id, "activate " + id + " 0"};
}

std::optional<std::string_view> Optional(const char* text) {
  return text ? std::optional<std::string_view>(text) : std::nullopt;
}

constexpr char kQuit[] = "key down CMD + Q";

TEST(HandleKeyDownTest, FiltersAndSwitches) {
  // A logged key is swallowed; a null client is an absent one.
  struct Case {
    uint64_t flags;
    uint16_t key;
    bool systemTest;
    int closes;
    const char *title, *mode, *client, *os, *log, *activated;
  } cases[] = {
      {kShift, kQ, false, 0, nullptr, "op", "", "14", nullptr, nullptr},
      {kCmd | kShift | kOption, kQ, false, 1, nullptr, "op", "", "14", kQuit, nullptr},
      {kCmd, kQ, false, 0, "TerminateProcessWindow", "op", "", "14", kQuit, nullptr},
      {kCmd, kQ, false, 1, "errorwindow", "op", "", "14", kQuit, nullptr},  // case-sensitive
      {kCmd | kOption, kH, false, 0, nullptr, "", "", "14", "key down CMD + H", nullptr},
      {kCmd | kShift, kH, false, 0, nullptr, "op", "", "14", nullptr, nullptr},
      {kCmd, kTab, false, 0, nullptr, "op", "", "14.0", nullptr, kPimzo},
      {kCmd | kShift, kTab, false, 0, nullptr, "OP", nullptr, "15.1", nullptr, kPimzo},
      {kCmd, kTab, true, 0, nullptr, "op", "", "14", nullptr, nullptr},
      {kCmd, kTab, true, 0, nullptr, "AP", "FaceBook", "13.0", nullptr, kWebex},
      {kCmd, kTab, false, 0, nullptr, "ap", nullptr, "14", nullptr, nullptr},
      {kCmd, kTab, false, 0, nullptr, "xp", "facebook", "14", nullptr, nullptr},
      {kCmd, 0, false, 0, "ErrorWindow", "op", "", "14", nullptr, nullptr}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "row " << &c - cases);
    SimPlatform sim(Desktop(c.title, c.os));
    const Event event{NSEventType::kKeyDown, c.key, c.flags};
    const auto result = std::make_shared<EventListenerSwift>()->handleKeyDown(
        event, c.mode, Optional(c.client), c.systemTest);
    EXPECT_EQ(result, c.log ? std::nullopt : std::optional<Event>(event));
    EXPECT_EQ(sim.host_.logs(),
              (c.log ? std::vector<LogLine>{{c.log, "INFO"}} : std::vector<LogLine>{}));
    EXPECT_EQ(sim.host_.close_requests(), c.closes);
    EXPECT_EQ(sim.Activations(), ActivationOf(c.activated, c.os));
  }
}

TEST(HandleKeyDownTest, MissingCompanionLetsTheKeyPassAndTheFirstOfSeveralIsActivated) {
  const Event tab{NSEventType::kKeyDown, kTab, kCmd};
  for (const Apps& apps : {Apps{{0, kBrowser}, {602, kWebex}},
                           Apps{{801, "COM.ELECTRON.PIMZO"}, {802, "com.electron.pimzo"}}}) {
    SimPlatform sim(Desktop(nullptr, "14", nullptr, apps));
    EXPECT_EQ(std::make_shared<EventListenerSwift>()->handleKeyDown(tab, "op", "", false), tab);
    EXPECT_EQ(sim.Activations(),
              ActivationOf(apps[0].first ? "COM.ELECTRON.PIMZO" : nullptr, "14"));
    // Two instances of one application: the yield goes to the instance that
    // is then activated, never to another one with the same identifier.
    if (apps[0].first == 801) {
      EXPECT_EQ(sim.ActivatedPids(), (std::vector<int>{801, 801}));
    }
  }
}

TEST(GlobalHandlerTest, BringsTheBrowserBack) {
  // The browser is matched exactly up to canonical equivalence: U+212A KELVIN
  // SIGN decomposes to "K", a lower-cased "k" is another identifier.
  const std::string kelvin = "com.trevant.qor.\u212Aestrelgate",
                    lower = "com.trevant.qor.kestrelgate";
  struct Case {
    uint64_t flags;
    uint16_t key;
    bool webex, systemTest, activates;  // webex: the Webex handler, else the companion one
    const char *frontmost, *os;
    std::string browser;
  } cases[] = {{kCmd, kTab, false, false, true, kPimzo, "14.0", kBrowser},
               {kCmd, kTab, false, false, true, kPimzo, "12.7", kelvin},
               {kCmd, kTab, false, false, false, kPimzo, "14.0", lower},
               {kCmd, kTab, false, true, false, kPimzo, "14.0", kBrowser},
               {0, kTab, false, false, false, kPimzo, "14.0", kBrowser},
               {kCmd, kQ, false, false, false, kPimzo, "14.0", kBrowser},
               {kCmd, kTab, false, false, false, kWebex, "14.0", kBrowser},
               {kCmd, kTab, true, false, true, kWebex, "14.0", kBrowser},
               {kCmd | kShift, kTab, true, true, true, kWebex, "13.9", kBrowser},
               {kCmd, kTab, true, false, false, kPimzo, "14.0", kBrowser}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "row " << &c - cases);
    SimPlatform sim(
        Desktop(nullptr, c.os, c.frontmost, {{0, c.browser}, {601, kPimzo}, {602, kWebex}}));
    auto listener = std::make_shared<EventListenerSwift>();
    const Event event{NSEventType::kKeyDown, c.key, c.flags};
    c.webex ? listener->handleWebexKeyDown(event)
            : listener->handleCompanionKeyDown(event, c.systemTest);
    EXPECT_EQ(sim.Activations(), ActivationOf(c.activates ? c.browser.c_str() : nullptr, c.os));
    EXPECT_TRUE(sim.host_.logs().empty());
  }
}

std::vector<uint64_t> Removed(const testing::TestDesktop& test) {
  std::vector<uint64_t> removed;
  for (const auto& entry : test.Journal("removeMonitor:"))
    removed.push_back(entry["args"]["monitor"]);
  return removed;
}

// The held tokens in stop order.
std::vector<uint64_t> Held(const EventListenerSwift::Monitors& m) {
  std::vector<uint64_t> ids;
  for (const auto& token : {m.keyDownMonitor, m.globalKeyDownMonitor, m.leftMouseDownMonitor,
                            m.otherMouseDownAndGestureMonitor, m.pressureMonitor}) {
    if (token) ids.push_back(token->id);
  }
  return ids;
}

TEST(StartMonitoringTest, InstallsPerModeAndStopRemovesInOrder) {
  // KELVIN SIGN lower-cases to "k".
  struct Case {
    const char *mode, *client;
    bool systemTest, global;
  } cases[] = {{"op", "", false, true},        {"OP", nullptr, true, true},
               {"Ap", "FaceBook", true, true}, {"ap", "FACEBOO\u212A", false, true},
               {"ap", nullptr, false, false},  {"opx", "", false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "row " << &c - cases);
    SimPlatform sim(Desktop());
    auto listener = std::make_shared<EventListenerSwift>();
    listener->startMonitoring(c.mode, Optional(c.client), c.systemTest);
    // The kind of every installed monitor; the fields hold their tokens, and
    // a stop hands them back in field order: key-down before global.
    std::vector<std::pair<bool, uint64_t>> kinds,
        expected = {{false, 1024}, {false, 0x22000000}, {false, 0x400000000}};
    std::vector<uint64_t> order;
    for (const auto& entry : sim.test_.Journal()) {
      if (entry["call"].get<std::string>().rfind("add", 0) != 0) continue;
      kinds.emplace_back(entry["call"] == "addGlobalMonitorForEventsMatchingMask:handler:",
                         entry["args"]["mask"]);
      order.push_back(entry["monitor"]);
    }
    if (c.global) expected.insert(expected.begin(), {true, 1024});
    ASSERT_EQ(kinds, expected);
    if (c.global) std::swap(order[0], order[1]);
    EXPECT_EQ(Held(listener->monitors()), order);
    listener->stopMonitoring();
    EXPECT_EQ(Removed(sim.test_), order);
    EXPECT_EQ(sim.main_thread_.monitor_count(), 0U);
  }
}

TEST(StartMonitoringTest, AStartNeverLeavesTheEarlierSetInstalled) {
  SimPlatform sim(Desktop());
  auto listener = std::make_shared<EventListenerSwift>();
  listener->stopMonitoring();  // without a start: nothing
  EXPECT_TRUE(Removed(sim.test_).empty());
  listener->startMonitoring("op", "", false);
  const std::vector<uint64_t> first = Held(listener->monitors());
  listener->startMonitoring("ap", "", false);  // no stop in between: the first set goes
  EXPECT_EQ(Removed(sim.test_), first);
  EXPECT_EQ(sim.main_thread_.monitor_count(), 3U);
  // Mode "ap" without "facebook" leaves the global field as it was.
  EXPECT_EQ(Held(listener->monitors()).at(1), first[1]);
  listener->stopMonitoring();
  EXPECT_EQ(sim.main_thread_.monitor_count(), 0U);
}

TEST(StartMonitoringTest, HandlersKeepTheListenerAliveUntilRemoved) {
  SimPlatform sim(Desktop());
  auto listener = std::make_shared<EventListenerSwift>();
  std::weak_ptr<EventListenerSwift> alive = listener;
  listener->startMonitoring("op", "", false);
  const std::vector<uint64_t> held = Held(listener->monitors());
  listener.reset();
  EXPECT_FALSE(alive.expired());
  for (uint64_t id : held) sim.main_thread_.removeMonitor(platform::EventMonitor{id});
  EXPECT_TRUE(alive.expired());
}

}  // namespace
}  // namespace osxnatives
