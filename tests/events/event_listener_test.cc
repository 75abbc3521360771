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
constexpr uint16_t kQ = 12;
constexpr uint16_t kH = 4;
constexpr uint16_t kTab = 48;
constexpr char kBrowser[] = "com.trevant.qor.Kestrelgate";
constexpr char kPimzo[] = "com.Electron.Pimzo";
constexpr char kWebex[] = "Cisco-Systems.Spark";

// Running applications of every desktop below. The companion and Webex have
// capitals so that the lower-casing is exercised; the browser itself is the
// host process (pid 0).
constexpr char kRunning[] = R"([
  {"pid": 0, "bundleIdentifier": "com.trevant.qor.Kestrelgate"},
  {"pid": 601, "bundleIdentifier": "com.Electron.Pimzo"},
  {"pid": 602, "bundleIdentifier": "Cisco-Systems.Spark"}])";

// The application, workspace, OS version and event monitors of a simulated
// desktop built for one test, with a recording host.
class SimPlatform {
 public:
  explicit SimPlatform(const nlohmann::json& scenario)
      : test_(scenario.dump()),
        application_(test_.desktop()),
        workspace_(test_.desktop(), 4242),
        version_(test_.desktop()),
        main_thread_(test_.desktop()) {}

  // The activation calls of the journal, as "<call> <bundle id> [options]".
  std::vector<std::string> Activations() const {
    std::vector<std::string> calls;
    for (const auto& entry : test_.Journal()) {
      if (entry["call"] == "yieldActivationToApplication:") {
        calls.push_back("yield " + entry["args"]["bundleIdentifier"].get<std::string>());
      } else if (entry["call"] == "activateWithOptions:") {
        calls.push_back("activate " + entry["args"]["bundleIdentifier"].get<std::string>() + " " +
                        std::to_string(entry["args"]["options"].get<int>()));
      }
    }
    return calls;
  }

  testing::TestDesktop test_;
  platform::sim::SimApplication application_;
  platform::sim::SimWorkspace workspace_;
  platform::sim::SimOperatingSystemVersion version_;
  platform::sim::SimMainThread main_thread_;
  ScopedOverride<platform::NSApplication> use_application_{&application_};
  ScopedOverride<platform::NSWorkspace> use_workspace_{&workspace_};
  ScopedOverride<platform::OperatingSystemVersionInfo> use_version_{&version_};
  ScopedOverride<platform::NSEvent> use_events_{&main_thread_};
  testing::ScopedRecordingHost host_;
};

// A desktop with the applications above; a null title means no key window.
nlohmann::json Desktop(const char* title = nullptr, const char* os = "14.0",
                       const char* frontmost = nullptr) {
  nlohmann::json scenario = {{"osVersion", os},
                             {"runningApplications", nlohmann::json::parse(kRunning)}};
  if (title) scenario["keyWindowTitle"] = title;
  if (frontmost) scenario["frontmostApplication"] = frontmost;
  return scenario;
}

// The activation calls expected when `target` is brought forward on `os`.
std::vector<std::string> ActivationOf(const char* target, const std::string& os) {
  if (target == nullptr) return {};
  const std::string id = target;
  if (std::stoi(os) < 14) return {"activate " + id + " 3"};
  return {"yield " + id, "activate " + id + " 0"};
}

std::optional<std::string_view> Optional(const char* text) {
  if (text == nullptr) return std::nullopt;
  return text;
}

constexpr char kQuit[] = "key down CMD + Q";

// A null client means an absent one.
struct KeyDownCase {
  const char* name;
  const char* title;
  uint16_t key;
  uint64_t flags;
  const char* mode;
  const char* client;
  bool systemTest;
  const char* os;
  bool swallowed;
  int closes;
  const char* log;
  const char* activated;
};

void PrintTo(const KeyDownCase& c, std::ostream* os) { *os << c.name; }

class HandleKeyDownTest : public ::testing::TestWithParam<KeyDownCase> {};

TEST_P(HandleKeyDownTest, FiltersAndSwitches) {
  const KeyDownCase& c = GetParam();
  SimPlatform sim(Desktop(c.title, c.os));
  const Event event{NSEventType::kKeyDown, c.key, c.flags};
  const std::optional<Event> result = std::make_shared<EventListenerSwift>()->handleKeyDown(
      event, c.mode, Optional(c.client), c.systemTest);
  if (c.swallowed) {
    EXPECT_FALSE(result.has_value());
  } else {
    EXPECT_EQ(result, event);
  }
  std::vector<LogLine> logs;
  if (c.log) logs.push_back({c.log, "INFO"});
  EXPECT_EQ(sim.host_.logs(), logs);
  EXPECT_EQ(sim.host_.close_requests(), c.closes);
  EXPECT_EQ(sim.Activations(), ActivationOf(c.activated, c.os));
}

INSTANTIATE_TEST_SUITE_P(
    Keys, HandleKeyDownTest,
    ::testing::Values(KeyDownCase{"QWithoutCommandPasses", nullptr, kQ, kShift, "op", "", false,
                                  "14", false, 0, nullptr, nullptr},
                      KeyDownCase{"CmdQWithoutKeyWindowCloses", nullptr, kQ, kCmd, "op", "", false,
                                  "14", true, 1, kQuit, nullptr},
                      KeyDownCase{"CmdQOverTerminateProcessWindowStays", "TerminateProcessWindow",
                                  kQ, kCmd, "op", "", false, "14", true, 0, kQuit, nullptr},
                      KeyDownCase{"CmdQOverInvalidArgumentWindowStays", "InvalidArgumentWindow", kQ,
                                  kCmd, "op", "", false, "14", true, 0, kQuit, nullptr},
                      KeyDownCase{"CmdQOverErrorWindowStays", "ErrorWindow", kQ, kCmd, "op", "",
                                  false, "14", true, 0, kQuit, nullptr},
                      KeyDownCase{"TitleComparisonIsCaseSensitive", "errorwindow", kQ, kCmd, "op",
                                  "", false, "14", true, 1, kQuit, nullptr},
                      KeyDownCase{"OtherModifiersDoNotMatterForQ", nullptr, kQ,
                                  kCmd | kShift | kOption, "op", "", false, "14", true, 1, kQuit,
                                  nullptr},
                      KeyDownCase{"CmdOptionHIsSwallowed", nullptr, kH, kCmd | kOption, "", "",
                                  false, "14", true, 0, "key down CMD + H", nullptr},
                      KeyDownCase{"CmdShiftHPasses", nullptr, kH, kCmd | kShift, "op", "", false,
                                  "14", false, 0, nullptr, nullptr},
                      KeyDownCase{"CmdTabInOpActivatesCompanion", nullptr, kTab, kCmd, "op", "",
                                  false, "14.0", false, 0, nullptr, kPimzo},
                      KeyDownCase{"ModeIgnoresCaseAndShift", nullptr, kTab, kCmd | kShift, "OP",
                                  nullptr, false, "15.1", false, 0, nullptr, kPimzo},
                      KeyDownCase{"BeforeMacOS14ActivatesWithOptions3", nullptr, kTab, kCmd, "op",
                                  "", false, "13.6.1", false, 0, nullptr, kPimzo},
                      KeyDownCase{"SystemTestNeverSwitches", nullptr, kTab, kCmd, "op", "", true,
                                  "14", false, 0, nullptr, nullptr},
                      KeyDownCase{"CmdTabInApForFacebookActivatesWebex", nullptr, kTab, kCmd, "ap",
                                  "facebook", false, "14", false, 0, nullptr, kWebex},
                      KeyDownCase{"ClientIgnoresCase", nullptr, kTab, kCmd, "AP", "FaceBook", true,
                                  "13.0", false, 0, nullptr, kWebex},
                      KeyDownCase{"ApWithoutClientDoesNotSwitch", nullptr, kTab, kCmd, "ap",
                                  nullptr, false, "14", false, 0, nullptr, nullptr},
                      KeyDownCase{"ApWithOtherClientDoesNotSwitch", nullptr, kTab, kCmd, "ap",
                                  "twitter", false, "14", false, 0, nullptr, nullptr},
                      KeyDownCase{"OtherModeDoesNotSwitch", nullptr, kTab, kCmd, "xp", "facebook",
                                  false, "14", false, 0, nullptr, nullptr},
                      KeyDownCase{"OtherCommandKeyPasses", "ErrorWindow", 0, kCmd, "op", "", false,
                                  "14", false, 0, nullptr, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

// Desktops whose running applications are `apps` as {pid, bundle identifier}.
nlohmann::json WithApplications(nlohmann::json scenario,
                                const std::vector<std::pair<int, std::string>>& apps) {
  scenario["runningApplications"] = nlohmann::json::array();
  for (const auto& [pid, id] : apps)
    scenario["runningApplications"].push_back({{"pid", pid}, {"bundleIdentifier", id}});
  return scenario;
}

TEST(HandleKeyDownTest, CompanionNotRunningLetsTheKeyPass) {
  nlohmann::json scenario = WithApplications(Desktop(), {{0, kBrowser}});
  scenario["runningApplications"].push_back({{"pid", 700}, {"localizedName", "No bundle"}});
  SimPlatform sim(scenario);
  auto listener = std::make_shared<EventListenerSwift>();
  const Event tab{NSEventType::kKeyDown, kTab, kCmd};
  EXPECT_EQ(listener->handleKeyDown(tab, "op", "", false), tab);
  EXPECT_EQ(listener->handleKeyDown(tab, "ap", "facebook", false), tab);
  EXPECT_TRUE(sim.Activations().empty());
}

TEST(HandleKeyDownTest, FirstMatchingApplicationIsActivated) {
  SimPlatform sim(
      WithApplications(Desktop(), {{801, "COM.ELECTRON.PIMZO"}, {802, "com.electron.pimzo"}}));
  std::make_shared<EventListenerSwift>()->handleKeyDown({NSEventType::kKeyDown, kTab, kCmd}, "op",
                                                        "", false);
  EXPECT_EQ(sim.Activations(), ActivationOf("COM.ELECTRON.PIMZO", "14"));
}

struct GlobalCase {
  const char* name;
  bool webex;  // the Webex handler, else the companion handler
  uint16_t key;
  uint64_t flags;
  bool systemTest;
  const char* frontmost;
  const char* os;
  bool activates;
};

void PrintTo(const GlobalCase& c, std::ostream* os) { *os << c.name; }

class GlobalHandlerTest : public ::testing::TestWithParam<GlobalCase> {};

TEST_P(GlobalHandlerTest, BringsTheBrowserBack) {
  const GlobalCase& c = GetParam();
  SimPlatform sim(Desktop(nullptr, c.os, c.frontmost));
  auto listener = std::make_shared<EventListenerSwift>();
  const Event event{NSEventType::kKeyDown, c.key, c.flags};
  if (c.webex) {
    listener->handleWebexKeyDown(event);
  } else {
    listener->handleCompanionKeyDown(event, c.systemTest);
  }
  EXPECT_EQ(sim.Activations(), ActivationOf(c.activates ? kBrowser : nullptr, c.os));
  EXPECT_TRUE(sim.host_.logs().empty());
  EXPECT_EQ(sim.host_.close_requests(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Handlers, GlobalHandlerTest,
    ::testing::Values(
        GlobalCase{"CompanionFrontmost", false, kTab, kCmd, false, kPimzo, "14.0", true},
        GlobalCase{"CompanionBeforeMacOS14", false, kTab, kCmd, false, kPimzo, "12.7", true},
        GlobalCase{"CompanionSystemTest", false, kTab, kCmd, true, kPimzo, "14.0", false},
        GlobalCase{"CompanionWithoutCommand", false, kTab, 0, false, kPimzo, "14.0", false},
        GlobalCase{"CompanionOtherKey", false, kQ, kCmd, false, kPimzo, "14.0", false},
        GlobalCase{"CompanionNotFrontmost", false, kTab, kCmd, false, kWebex, "14.0", false},
        GlobalCase{"NoFrontmostApplication", false, kTab, kCmd, false, nullptr, "14.0", false},
        GlobalCase{"WebexFrontmost", true, kTab, kCmd, false, kWebex, "14.0", true},
        GlobalCase{"WebexIgnoresSystemTest", true, kTab, kCmd | kShift, true, kWebex, "13.9", true},
        GlobalCase{"WebexNotFrontmost", true, kTab, kCmd, false, kPimzo, "14.0", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GlobalHandlerTest, BrowserIsMatchedExactlyUpToCanonicalEquivalence) {
  // U+212A KELVIN SIGN decomposes canonically to "K"; a lower-cased "k" is another identifier.
  for (const auto& [browser, activates] : std::vector<std::pair<std::string, bool>>{
           {"com.trevant.qor.\u212Aestrelgate", true}, {"com.trevant.qor.kestrelgate", false}}) {
    SimPlatform sim(WithApplications(Desktop(nullptr, "13.0", "com.electron.pimzo"),
                                     {{0, browser}, {601, "com.electron.pimzo"}}));
    std::make_shared<EventListenerSwift>()->handleCompanionKeyDown(
        {NSEventType::kKeyDown, kTab, kCmd}, false);
    EXPECT_EQ(sim.Activations(), ActivationOf(activates ? browser.c_str() : nullptr, "13"))
        << browser;
  }
}

// --- Start and stop ---------------------------------------------------------

struct Installed {
  bool global;
  uint64_t mask;
  uint64_t monitor;
};

std::vector<Installed> InstalledMonitors(const testing::TestDesktop& test) {
  std::vector<Installed> installed;
  for (const auto& entry : test.Journal()) {
    const std::string call = entry["call"];
    if (call.rfind("add", 0) == 0) {
      installed.push_back({call == "addGlobalMonitorForEventsMatchingMask:handler:",
                           entry["args"]["mask"], entry["monitor"]});
    }
  }
  return installed;
}

std::vector<uint64_t> RemovedMonitors(const testing::TestDesktop& test) {
  std::vector<uint64_t> removed;
  for (const auto& entry : test.Journal("removeMonitor:"))
    removed.push_back(entry["args"]["monitor"]);
  return removed;
}

struct StartCase {
  const char* name;
  const char* mode;
  const char* client;
  bool systemTest;
  bool global;
};

void PrintTo(const StartCase& c, std::ostream* os) { *os << c.name; }

class StartMonitoringTest : public ::testing::TestWithParam<StartCase> {};

TEST_P(StartMonitoringTest, InstallsPerModeAndStopRemovesInOrder) {
  const StartCase& c = GetParam();
  SimPlatform sim(Desktop());
  auto listener = std::make_shared<EventListenerSwift>();
  listener->startMonitoring(c.mode, Optional(c.client), c.systemTest);

  const std::vector<Installed> installed = InstalledMonitors(sim.test_);
  std::vector<std::pair<bool, uint64_t>> kinds, expected;
  for (const auto& i : installed) kinds.emplace_back(i.global, i.mask);
  if (c.global) expected.emplace_back(true, 1024);
  for (uint64_t mask : {1024ULL, 0x22000000ULL, 0x400000000ULL}) expected.emplace_back(false, mask);
  ASSERT_EQ(kinds, expected);

  const EventListenerSwift::Monitors fields = listener->monitors();
  const size_t local = c.global ? 1 : 0;
  EXPECT_EQ(fields.keyDownMonitor->id, installed[local].monitor);
  EXPECT_EQ(fields.otherMouseDownAndGestureMonitor->id, installed[local + 1].monitor);
  EXPECT_EQ(fields.pressureMonitor->id, installed[local + 2].monitor);
  EXPECT_FALSE(fields.leftMouseDownMonitor.has_value());
  EXPECT_EQ(fields.globalKeyDownMonitor.has_value(), c.global);

  listener->stopMonitoring();
  std::vector<uint64_t> order = {installed[local].monitor};
  if (c.global) order.push_back(installed[0].monitor);
  order.push_back(installed[local + 1].monitor);
  order.push_back(installed[local + 2].monitor);
  EXPECT_EQ(RemovedMonitors(sim.test_), order);
  EXPECT_EQ(sim.main_thread_.monitor_count(), 0U);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, StartMonitoringTest,
    ::testing::Values(StartCase{"Op", "op", "", false, true},
                      StartCase{"OpInCapitals", "OP", nullptr, false, true},
                      StartCase{"OpSystemTestStillInstallsGlobal", "op", "", true, true},
                      StartCase{"ApFacebookAnyCase", "Ap", "FaceBook", true, true},
                      // KELVIN SIGN lower-cases to "k".
                      StartCase{"ApClientUnicodeLowerCased", "ap", "FACEBOO\u212A", false, true},
                      StartCase{"ApEmptyClient", "ap", "", false, false},
                      StartCase{"ApNoClient", "ap", nullptr, false, false},
                      StartCase{"ApOtherClient", "ap", "facebook2", false, false},
                      StartCase{"OtherMode", "opx", "", false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StopMonitoringTest, WithoutStartRemovesNothing) {
  SimPlatform sim(Desktop());
  std::make_shared<EventListenerSwift>()->stopMonitoring();
  EXPECT_TRUE(RemovedMonitors(sim.test_).empty());
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

TEST(StopMonitoringTest, FieldsKeepTheirTokensAndAStartNeverLeavesTheEarlierSetInstalled) {
  SimPlatform sim(Desktop());
  auto listener = std::make_shared<EventListenerSwift>();
  listener->startMonitoring("op", "", false);
  const EventListenerSwift::Monitors first = listener->monitors();
  listener->startMonitoring("op", "", false);  // no stop in between: the first set goes
  EXPECT_EQ(RemovedMonitors(sim.test_), Held(first));
  EXPECT_EQ(sim.main_thread_.monitor_count(), 4U);

  const EventListenerSwift::Monitors second = listener->monitors();
  listener->stopMonitoring();
  EXPECT_EQ(sim.main_thread_.monitor_count(), 0U);
  EXPECT_EQ(Held(listener->monitors()), Held(second));
  listener->stopMonitoring();  // hands the same tokens to the platform again
  std::vector<uint64_t> removed = Held(first);
  const std::vector<uint64_t> second_set = Held(second);
  for (int i = 0; i < 2; ++i) removed.insert(removed.end(), second_set.begin(), second_set.end());
  EXPECT_EQ(RemovedMonitors(sim.test_), removed);

  listener->startMonitoring("ap", "", false);  // after a stop: removes nothing
  EXPECT_EQ(RemovedMonitors(sim.test_), removed);
  const EventListenerSwift::Monitors third = listener->monitors();
  EXPECT_NE(third.keyDownMonitor, second.keyDownMonitor);
  // Mode "ap" without "facebook" leaves the global field as it was.
  EXPECT_EQ(third.globalKeyDownMonitor, second.globalKeyDownMonitor);
  EXPECT_EQ(sim.main_thread_.monitor_count(), 3U);
}

TEST(StartMonitoringTest, HandlersKeepTheListenerAliveUntilRemoved) {
  SimPlatform sim(Desktop());
  auto listener = std::make_shared<EventListenerSwift>();
  std::weak_ptr<EventListenerSwift> alive = listener;
  listener->startMonitoring("op", "", false);
  const EventListenerSwift::Monitors fields = listener->monitors();
  listener.reset();
  EXPECT_FALSE(alive.expired());
  for (const auto& token : {fields.keyDownMonitor, fields.globalKeyDownMonitor,
                            fields.otherMouseDownAndGestureMonitor, fields.pressureMonitor}) {
    sim.main_thread_.removeMonitor(*token);
  }
  EXPECT_TRUE(alive.expired());
}

// A platform that refuses every monitor.
class RefusingEvents : public platform::NSEvent {
 public:
  std::optional<platform::EventMonitor> addLocalMonitorForEventsMatchingMask(
      uint64_t, platform::LocalEventHandler) override {
    return std::nullopt;
  }
  std::optional<platform::EventMonitor> addGlobalMonitorForEventsMatchingMask(
      uint64_t, platform::GlobalEventHandler) override {
    return std::nullopt;
  }
  void removeMonitor(platform::EventMonitor) override { ++removals; }
  int removals = 0;
};

TEST(StartMonitoringTest, RefusedMonitorsLeaveTheFieldsAbsent) {
  SimPlatform sim(Desktop());
  auto listener = std::make_shared<EventListenerSwift>();
  listener->startMonitoring("op", "", false);  // fills every field
  RefusingEvents refusing;
  ScopedOverride<platform::NSEvent> use_refusing(&refusing);
  listener->startMonitoring("op", "", false);
  const EventListenerSwift::Monitors fields = listener->monitors();
  EXPECT_FALSE(fields.keyDownMonitor || fields.globalKeyDownMonitor ||
               fields.otherMouseDownAndGestureMonitor || fields.pressureMonitor);
  const int removals = refusing.removals;  // the first set's, before the refused start
  listener->stopMonitoring();
  EXPECT_EQ(refusing.removals, removals);
}

}  // namespace
}  // namespace osxnatives
