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

nlohmann::json Desktop(std::optional<std::string> title, const std::string& os = "14.0",
                       std::optional<std::string> frontmost = std::nullopt) {
  nlohmann::json scenario = {{"osVersion", os},
                             {"runningApplications", nlohmann::json::parse(kRunning)}};
  if (title) scenario["keyWindowTitle"] = *title;
  if (frontmost) scenario["frontmostApplication"] = *frontmost;
  return scenario;
}

struct KeyDownCase {
  const char* name;
  std::optional<std::string> title;
  uint16_t keyCode;
  uint64_t flags;
  const char* mode;
  std::optional<std::string> client;
  bool isSystemTest;
  const char* os;
  // Expected:
  bool swallowed;
  std::vector<std::string> logs;
  int closeRequests;
  std::vector<std::string> activations;
};

void PrintTo(const KeyDownCase& c, std::ostream* os) { *os << c.name; }

class HandleKeyDownTest : public ::testing::TestWithParam<KeyDownCase> {};

TEST_P(HandleKeyDownTest, FiltersAndSwitches) {
  const KeyDownCase& c = GetParam();
  SimPlatform sim(Desktop(c.title, c.os));
  auto listener = std::make_shared<EventListenerSwift>();
  const Event event{NSEventType::kKeyDown, c.keyCode, c.flags};

  std::optional<std::string_view> client;
  if (c.client) client = *c.client;
  const std::optional<Event> result =
      listener->handleKeyDown(event, c.mode, client, c.isSystemTest);

  if (c.swallowed) {
    EXPECT_FALSE(result.has_value());
  } else {
    EXPECT_EQ(result, event);
  }
  std::vector<LogLine> expected_logs;
  for (const auto& text : c.logs) expected_logs.push_back({text, "INFO"});
  EXPECT_EQ(sim.host_.logs(), expected_logs);
  EXPECT_EQ(sim.host_.close_requests(), c.closeRequests);
  EXPECT_EQ(sim.Activations(), c.activations);
}

const std::vector<std::string> kQuitLog = {"key down CMD + Q"};
const std::vector<std::string> kHideLog = {"key down CMD + H"};
const std::vector<std::string> kToPimzo14 = {"yield com.Electron.Pimzo",
                                             "activate com.Electron.Pimzo 0"};
const std::vector<std::string> kToWebex14 = {"yield Cisco-Systems.Spark",
                                             "activate Cisco-Systems.Spark 0"};

INSTANTIATE_TEST_SUITE_P(
    Keys, HandleKeyDownTest,
    ::testing::Values(
        KeyDownCase{"QWithoutCommandPasses",
                    std::nullopt,
                    kQ,
                    0,
                    "op",
                    "",
                    false,
                    "14.0",
                    false,
                    {},
                    0,
                    {}},
        KeyDownCase{"QWithShiftOnlyPasses",
                    std::nullopt,
                    kQ,
                    kShift,
                    "op",
                    "",
                    false,
                    "14.0",
                    false,
                    {},
                    0,
                    {}},
        KeyDownCase{"CmdQWithoutKeyWindowCloses",
                    std::nullopt,
                    kQ,
                    kCmd,
                    "op",
                    "",
                    false,
                    "14.0",
                    true,
                    kQuitLog,
                    1,
                    {}},
        KeyDownCase{"CmdQOverExamWindowCloses",
                    "ExamWindow",
                    kQ,
                    kCmd,
                    "",
                    "",
                    false,
                    "14.0",
                    true,
                    kQuitLog,
                    1,
                    {}},
        KeyDownCase{
            "CmdQOverEmptyTitleCloses", "", kQ, kCmd, "", "", false, "14.0", true, kQuitLog, 1, {}},
        KeyDownCase{"CmdQOverTerminateProcessWindowStays",
                    "TerminateProcessWindow",
                    kQ,
                    kCmd,
                    "op",
                    "",
                    false,
                    "14.0",
                    true,
                    kQuitLog,
                    0,
                    {}},
        KeyDownCase{"CmdQOverInvalidArgumentWindowStays",
                    "InvalidArgumentWindow",
                    kQ,
                    kCmd,
                    "op",
                    "",
                    false,
                    "14.0",
                    true,
                    kQuitLog,
                    0,
                    {}},
        KeyDownCase{"CmdQOverErrorWindowStays",
                    "ErrorWindow",
                    kQ,
                    kCmd,
                    "op",
                    "",
                    false,
                    "14.0",
                    true,
                    kQuitLog,
                    0,
                    {}},
        KeyDownCase{"TitleComparisonIsCaseSensitive",
                    "errorwindow",
                    kQ,
                    kCmd,
                    "op",
                    "",
                    false,
                    "14.0",
                    true,
                    kQuitLog,
                    1,
                    {}},
        KeyDownCase{"CmdShiftQActsAsCmdQ",
                    std::nullopt,
                    kQ,
                    kCmd | kShift,
                    "op",
                    "",
                    false,
                    "14.0",
                    true,
                    kQuitLog,
                    1,
                    {}},
        KeyDownCase{"CmdOptionQActsAsCmdQ",
                    std::nullopt,
                    kQ,
                    kCmd | kOption,
                    "op",
                    "",
                    false,
                    "14.0",
                    true,
                    kQuitLog,
                    1,
                    {}},
        KeyDownCase{"CmdHIsSwallowed",
                    std::nullopt,
                    kH,
                    kCmd,
                    "op",
                    "",
                    false,
                    "14.0",
                    true,
                    kHideLog,
                    0,
                    {}},
        KeyDownCase{"CmdOptionHIsSwallowed",
                    std::nullopt,
                    kH,
                    kCmd | kOption,
                    "",
                    "",
                    false,
                    "14.0",
                    true,
                    kHideLog,
                    0,
                    {}},
        KeyDownCase{"CmdShiftHPasses",
                    std::nullopt,
                    kH,
                    kCmd | kShift,
                    "op",
                    "",
                    false,
                    "14.0",
                    false,
                    {},
                    0,
                    {}},
        KeyDownCase{"HWithoutCommandPasses",
                    std::nullopt,
                    kH,
                    0,
                    "op",
                    "",
                    false,
                    "14.0",
                    false,
                    {},
                    0,
                    {}},
        KeyDownCase{"CmdTabInOpActivatesCompanion",
                    std::nullopt,
                    kTab,
                    kCmd,
                    "op",
                    "",
                    false,
                    "14.0",
                    false,
                    {},
                    0,
                    kToPimzo14},
        KeyDownCase{"ModeIgnoresCase",
                    std::nullopt,
                    kTab,
                    kCmd,
                    "OP",
                    std::nullopt,
                    false,
                    "14.2",
                    false,
                    {},
                    0,
                    kToPimzo14},
        KeyDownCase{"CmdShiftTabAlsoSwitches",
                    std::nullopt,
                    kTab,
                    kCmd | kShift,
                    "Op",
                    "",
                    false,
                    "15.1",
                    false,
                    {},
                    0,
                    kToPimzo14},
        KeyDownCase{"BeforeMacOS14ActivatesWithOptions3",
                    std::nullopt,
                    kTab,
                    kCmd,
                    "op",
                    "",
                    false,
                    "13.6.1",
                    false,
                    {},
                    0,
                    {"activate com.Electron.Pimzo 3"}},
        KeyDownCase{"SystemTestNeverSwitches",
                    std::nullopt,
                    kTab,
                    kCmd,
                    "op",
                    "",
                    true,
                    "14.0",
                    false,
                    {},
                    0,
                    {}},
        KeyDownCase{"TabWithoutCommandPasses",
                    std::nullopt,
                    kTab,
                    0,
                    "op",
                    "",
                    false,
                    "14.0",
                    false,
                    {},
                    0,
                    {}},
        KeyDownCase{"CmdTabInApForFacebookActivatesWebex",
                    std::nullopt,
                    kTab,
                    kCmd,
                    "ap",
                    "facebook",
                    false,
                    "14.0",
                    false,
                    {},
                    0,
                    kToWebex14},
        KeyDownCase{"ClientIgnoresCase",
                    std::nullopt,
                    kTab,
                    kCmd,
                    "AP",
                    "FaceBook",
                    true,
                    "14.0",
                    false,
                    {},
                    0,
                    kToWebex14},
        KeyDownCase{"WebexBeforeMacOS14",
                    std::nullopt,
                    kTab,
                    kCmd,
                    "ap",
                    "facebook",
                    false,
                    "13.0",
                    false,
                    {},
                    0,
                    {"activate Cisco-Systems.Spark 3"}},
        KeyDownCase{"ApWithEmptyClientDoesNotSwitch",
                    std::nullopt,
                    kTab,
                    kCmd,
                    "ap",
                    "",
                    false,
                    "14.0",
                    false,
                    {},
                    0,
                    {}},
        KeyDownCase{"ApWithoutClientDoesNotSwitch",
                    std::nullopt,
                    kTab,
                    kCmd,
                    "ap",
                    std::nullopt,
                    false,
                    "14.0",
                    false,
                    {},
                    0,
                    {}},
        KeyDownCase{"ApWithOtherClientDoesNotSwitch",
                    std::nullopt,
                    kTab,
                    kCmd,
                    "ap",
                    "twitter",
                    false,
                    "14.0",
                    false,
                    {},
                    0,
                    {}},
        KeyDownCase{"OtherModeDoesNotSwitch",
                    std::nullopt,
                    kTab,
                    kCmd,
                    "xp",
                    "facebook",
                    false,
                    "14.0",
                    false,
                    {},
                    0,
                    {}},
        KeyDownCase{"OtherCommandKeyPasses",
                    "ErrorWindow",
                    0,
                    kCmd,
                    "op",
                    "",
                    false,
                    "14.0",
                    false,
                    {},
                    0,
                    {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HandleKeyDownTest, CompanionNotRunningLetsTheKeyPass) {
  nlohmann::json scenario = Desktop(std::nullopt);
  scenario["runningApplications"] =
      nlohmann::json::array({{{"pid", 0}, {"bundleIdentifier", "com.trevant.qor.Kestrelgate"}},
                             {{"pid", 700}, {"localizedName", "No bundle"}}});
  SimPlatform sim(scenario);
  auto listener = std::make_shared<EventListenerSwift>();
  const Event tab{NSEventType::kKeyDown, kTab, kCmd};
  EXPECT_EQ(listener->handleKeyDown(tab, "op", "", false), tab);
  EXPECT_EQ(listener->handleKeyDown(tab, "ap", "facebook", false), tab);
  EXPECT_TRUE(sim.Activations().empty());
}

TEST(HandleKeyDownTest, FirstMatchingApplicationIsActivated) {
  nlohmann::json scenario = Desktop(std::nullopt);
  scenario["runningApplications"] =
      nlohmann::json::array({{{"pid", 801}, {"bundleIdentifier", "COM.ELECTRON.PIMZO"}},
                             {{"pid", 802}, {"bundleIdentifier", "com.electron.pimzo"}}});
  SimPlatform sim(scenario);
  std::make_shared<EventListenerSwift>()->handleKeyDown({NSEventType::kKeyDown, kTab, kCmd}, "op",
                                                        "", false);
  EXPECT_EQ(sim.Activations(), (std::vector<std::string>{"yield COM.ELECTRON.PIMZO",
                                                         "activate COM.ELECTRON.PIMZO 0"}));
}

struct GlobalCase {
  const char* name;
  bool webex;  // the Webex handler, else the companion handler
  uint16_t keyCode;
  uint64_t flags;
  bool isSystemTest;
  std::optional<std::string> frontmost;
  const char* os;
  std::vector<std::string> activations;
};

void PrintTo(const GlobalCase& c, std::ostream* os) { *os << c.name; }

class GlobalHandlerTest : public ::testing::TestWithParam<GlobalCase> {};

TEST_P(GlobalHandlerTest, BringsTheBrowserBack) {
  const GlobalCase& c = GetParam();
  SimPlatform sim(Desktop(std::nullopt, c.os, c.frontmost));
  auto listener = std::make_shared<EventListenerSwift>();
  const Event event{NSEventType::kKeyDown, c.keyCode, c.flags};
  if (c.webex) {
    listener->handleWebexKeyDown(event);
  } else {
    listener->handleCompanionKeyDown(event, c.isSystemTest);
  }
  EXPECT_EQ(sim.Activations(), c.activations);
  EXPECT_TRUE(sim.host_.logs().empty());
  EXPECT_EQ(sim.host_.close_requests(), 0);
}

const std::vector<std::string> kToBrowser14 = {"yield com.trevant.qor.Kestrelgate",
                                               "activate com.trevant.qor.Kestrelgate 0"};

INSTANTIATE_TEST_SUITE_P(
    Handlers, GlobalHandlerTest,
    ::testing::Values(
        GlobalCase{"CompanionFrontmost", false, kTab, kCmd, false, "com.Electron.Pimzo", "14.0",
                   kToBrowser14},
        GlobalCase{"CompanionBeforeMacOS14",
                   false,
                   kTab,
                   kCmd,
                   false,
                   "com.Electron.Pimzo",
                   "12.7",
                   {"activate com.trevant.qor.Kestrelgate 3"}},
        GlobalCase{
            "CompanionSystemTest", false, kTab, kCmd, true, "com.Electron.Pimzo", "14.0", {}},
        GlobalCase{
            "CompanionWithoutCommand", false, kTab, 0, false, "com.Electron.Pimzo", "14.0", {}},
        GlobalCase{"CompanionOtherKey", false, kQ, kCmd, false, "com.Electron.Pimzo", "14.0", {}},
        GlobalCase{
            "CompanionNotFrontmost", false, kTab, kCmd, false, "Cisco-Systems.Spark", "14.0", {}},
        GlobalCase{"NoFrontmostApplication", false, kTab, kCmd, false, std::nullopt, "14.0", {}},
        GlobalCase{"WebexFrontmost", true, kTab, kCmd, false, "Cisco-Systems.Spark", "14.0",
                   kToBrowser14},
        GlobalCase{"WebexIgnoresSystemTest",
                   true,
                   kTab,
                   kCmd | kShift,
                   true,
                   "Cisco-Systems.Spark",
                   "13.9",
                   {"activate com.trevant.qor.Kestrelgate 3"}},
        GlobalCase{"WebexNotFrontmost", true, kTab, kCmd, false, "com.Electron.Pimzo", "14.0", {}},
        GlobalCase{
            "WebexWithoutCommand", true, kTab, kShift, false, "Cisco-Systems.Spark", "14.0", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GlobalHandlerTest, BrowserMatchesACanonicallyEquivalentIdentifier) {
  nlohmann::json scenario = Desktop(std::nullopt, "13.0", "com.electron.pimzo");
  // U+212A KELVIN SIGN decomposes canonically to "K".
  scenario["runningApplications"] =
      nlohmann::json::array({{{"pid", 0}, {"bundleIdentifier", "com.trevant.qor.\u212Aestrelgate"}},
                             {{"pid", 601}, {"bundleIdentifier", "com.electron.pimzo"}}});
  SimPlatform sim(scenario);
  std::make_shared<EventListenerSwift>()->handleCompanionKeyDown(
      {NSEventType::kKeyDown, kTab, kCmd}, false);
  EXPECT_EQ(sim.Activations(),
            std::vector<std::string>{"activate com.trevant.qor.\u212Aestrelgate 3"});
}

TEST(GlobalHandlerTest, BrowserIsMatchedExactly) {
  nlohmann::json scenario = Desktop(std::nullopt, "14.0", "com.electron.pimzo");
  scenario["runningApplications"] =
      nlohmann::json::array({{{"pid", 0}, {"bundleIdentifier", "com.trevant.qor.kestrelgate"}},
                             {{"pid", 601}, {"bundleIdentifier", "com.electron.pimzo"}}});
  SimPlatform sim(scenario);
  std::make_shared<EventListenerSwift>()->handleCompanionKeyDown(
      {NSEventType::kKeyDown, kTab, kCmd}, false);
  EXPECT_TRUE(sim.Activations().empty());
}

// --- Start and stop ---------------------------------------------------------

struct Installed {
  std::string call;
  uint64_t mask;
  uint64_t monitor;
};

std::vector<Installed> InstalledMonitors(const testing::TestDesktop& test) {
  std::vector<Installed> installed;
  for (const auto& entry : test.Journal()) {
    const std::string call = entry["call"];
    if (call.rfind("add", 0) == 0) {
      installed.push_back(
          {call == "addGlobalMonitorForEventsMatchingMask:handler:" ? "global" : "local",
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
  std::optional<std::string> client;
  bool isSystemTest;
  bool global;
};

void PrintTo(const StartCase& c, std::ostream* os) { *os << c.name; }

class StartMonitoringTest : public ::testing::TestWithParam<StartCase> {};

TEST_P(StartMonitoringTest, InstallsPerModeAndStopRemovesInOrder) {
  const StartCase& c = GetParam();
  SimPlatform sim(Desktop(std::nullopt));
  auto listener = std::make_shared<EventListenerSwift>();
  std::optional<std::string_view> client;
  if (c.client) client = *c.client;
  listener->startMonitoring(c.mode, client, c.isSystemTest);

  std::vector<Installed> installed = InstalledMonitors(sim.test_);
  std::vector<std::pair<std::string, uint64_t>> kinds;
  kinds.reserve(installed.size());
  for (const auto& i : installed) kinds.emplace_back(i.call, i.mask);
  std::vector<std::pair<std::string, uint64_t>> expected;
  if (c.global) expected.emplace_back("global", 1024);
  expected.emplace_back("local", 1024);
  expected.emplace_back("local", 0x22000000);
  expected.emplace_back("local", 0x400000000);
  ASSERT_EQ(kinds, expected);

  const EventListenerSwift::Monitors fields = listener->monitors();
  const size_t first_local = c.global ? 1 : 0;
  EXPECT_EQ(fields.keyDownMonitor->id, installed[first_local].monitor);
  EXPECT_EQ(fields.otherMouseDownAndGestureMonitor->id, installed[first_local + 1].monitor);
  EXPECT_EQ(fields.pressureMonitor->id, installed[first_local + 2].monitor);
  EXPECT_FALSE(fields.leftMouseDownMonitor.has_value());
  EXPECT_EQ(fields.globalKeyDownMonitor.has_value(), c.global);

  listener->stopMonitoring();
  std::vector<uint64_t> order = {installed[first_local].monitor};
  if (c.global) order.push_back(installed[0].monitor);
  order.push_back(installed[first_local + 1].monitor);
  order.push_back(installed[first_local + 2].monitor);
  EXPECT_EQ(RemovedMonitors(sim.test_), order);
  EXPECT_EQ(sim.main_thread_.monitor_count(), 0U);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, StartMonitoringTest,
    ::testing::Values(StartCase{"Op", "op", "", false, true},
                      StartCase{"OpInCapitals", "OP", std::nullopt, false, true},
                      StartCase{"OpSystemTestStillInstallsGlobal", "op", "", true, true},
                      StartCase{"ApFacebook", "ap", "facebook", false, true},
                      StartCase{"ApFacebookAnyCase", "Ap", "FaceBook", true, true},
                      StartCase{"ApEmptyClient", "ap", "", false, false},
                      StartCase{"ApNoClient", "ap", std::nullopt, false, false},
                      StartCase{"ApOtherClient", "ap", "facebook2", false, false},
                      StartCase{"OpWithFacebookClient", "op", "facebook", false, true},
                      StartCase{"EmptyMode", "", "facebook", false, false},
                      StartCase{"OtherMode", "opx", "", false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StopMonitoringTest, WithoutStartRemovesNothing) {
  SimPlatform sim(Desktop(std::nullopt));
  auto listener = std::make_shared<EventListenerSwift>();
  listener->stopMonitoring();
  EXPECT_TRUE(RemovedMonitors(sim.test_).empty());
}

TEST(StopMonitoringTest, FieldsKeepTheirTokensAndAStartAfterAStopReplacesThem) {
  SimPlatform sim(Desktop(std::nullopt));
  auto listener = std::make_shared<EventListenerSwift>();
  listener->startMonitoring("op", "", false);
  const EventListenerSwift::Monitors first = listener->monitors();
  listener->stopMonitoring();
  EXPECT_EQ(listener->monitors().keyDownMonitor, first.keyDownMonitor);
  listener->stopMonitoring();  // hands the same tokens to the platform again
  const std::vector<uint64_t> removed = RemovedMonitors(sim.test_);
  ASSERT_EQ(removed.size(), 8U);
  EXPECT_TRUE(std::equal(removed.begin(), removed.begin() + 4, removed.begin() + 4));

  listener->startMonitoring("ap", "", false);
  const EventListenerSwift::Monitors second = listener->monitors();
  EXPECT_NE(second.keyDownMonitor, first.keyDownMonitor);
  // Mode "ap" without "facebook" leaves the global field as it was.
  EXPECT_EQ(second.globalKeyDownMonitor, first.globalKeyDownMonitor);
  EXPECT_EQ(sim.main_thread_.monitor_count(), 3U);
  listener->stopMonitoring();
  EXPECT_EQ(sim.main_thread_.monitor_count(), 0U);
}

TEST(StartMonitoringTest, SecondStartLeavesTheFirstMonitorsInstalled) {
  SimPlatform sim(Desktop(std::nullopt));
  auto listener = std::make_shared<EventListenerSwift>();
  listener->startMonitoring("op", "", false);
  listener->startMonitoring("op", "", false);
  EXPECT_EQ(sim.main_thread_.monitor_count(), 8U);
  listener->stopMonitoring();
  EXPECT_EQ(sim.main_thread_.monitor_count(), 4U);
}

TEST(StartMonitoringTest, HandlersKeepTheListenerAliveUntilRemoved) {
  SimPlatform sim(Desktop(std::nullopt));
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
  SimPlatform sim(Desktop(std::nullopt));
  auto listener = std::make_shared<EventListenerSwift>();
  listener->startMonitoring("op", "", false);  // fills every field
  RefusingEvents refusing;
  ScopedOverride<platform::NSEvent> use_refusing(&refusing);
  listener->startMonitoring("op", "", false);
  const EventListenerSwift::Monitors fields = listener->monitors();
  EXPECT_FALSE(fields.keyDownMonitor || fields.globalKeyDownMonitor ||
               fields.otherMouseDownAndGestureMonitor || fields.pressureMonitor);
  listener->stopMonitoring();
  EXPECT_EQ(refusing.removals, 0);
}

TEST(LowercasedTest, FollowsUnicodeCaseMapping) {
  EXPECT_EQ(Lowercased("FaceBook"), "facebook");
  EXPECT_EQ(Lowercased("OP"), "op");
  EXPECT_EQ(Lowercased("FACEBOO\u212A"), "facebook");  // KELVIN SIGN lower-cases to k
  EXPECT_EQ(Lowercased("\u00C9COLE"), "\u00E9cole");
  EXPECT_EQ(Lowercased(""), "");
}

}  // namespace
}  // namespace osxnatives
