#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "input/input_handler_swift.h"
#include "tests/input/lockdown_support.h"

namespace osxnatives {
namespace {

using testing::CapturedStdout;
using testing::Lockdown;

constexpr char kScenario[] = R"({
  "currentApplication": {"bundleName": "ExamHost"},
  "notificationCenterDelegate": "HostDelegate",
  "symbolicHotKeys": {"disabled": [2, 3, 200]}
})";

std::vector<std::pair<int32_t, int32_t>> Corners(int32_t tl, int32_t tr, int32_t bl, int32_t br) {
  return {{tl, 0}, {tr, 1}, {bl, 2}, {br, 3}};
}

// The ids 0-255 the lockdown disables when `off` are already disabled.
std::vector<int32_t> Disabled(std::vector<int32_t> off) {
  std::vector<int32_t> ids;
  for (int32_t id = 0; id < 256; ++id) {
    if (id == 15 || id == 27 || std::count(off.begin(), off.end(), id) != 0) {
      continue;
    }
    ids.push_back(id);
  }
  return ids;
}

std::string Join(const std::vector<int32_t>& ids) {
  std::string text;
  for (int32_t id : ids) {
    text += (text.empty() ? "" : ",") + std::to_string(id);
  }
  return text;
}

TEST(InputHandlerTest, LockdownSavesDisablesAndSilences) {
  Lockdown lockdown(kScenario);
  lockdown.WriteDock({{"wvous-tl-corner", 2}, {"wvous-bl-corner", 5}, {"autohide", true}});
  InputHandlerSwift handler(true);
  CapturedStdout out;
  handler.start();
  EXPECT_TRUE(out.Lines().empty());
  EXPECT_TRUE(handler.serviceRunning());

  const std::vector<int32_t> expected = Disabled({2, 3, 200});
  const auto settings = Lockdown::ReadPlist(lockdown.settingsFolder("ExamHost") / "Settings.plist");
  EXPECT_EQ(settings, (nlohmann::json{{"wvous-tl-corner", 2},
                                      {"wvous-tr-corner", 0},
                                      {"wvous-bl-corner", 5},
                                      {"wvous-br-corner", 0},
                                      {"HotKeys", Join(expected)}}));
  const auto hot_keys = lockdown.HotKeyCalls();
  ASSERT_EQ(hot_keys.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(hot_keys[i], std::make_pair(expected[i], false));
  }
  EXPECT_EQ(lockdown.CornerCalls(), Corners(0, 0, 0, 0));
  EXPECT_EQ(lockdown.task.commands(),
            std::vector<std::string>(InputHandlerSwift::kLockCommands.begin(),
                                     InputHandlerSwift::kLockCommands.end()));
  EXPECT_EQ(lockdown.Messages(),
            (std::vector<std::string>{
                "Did we load the core graphics bundle? true",
                "Setting " + std::to_string(expected.size()) + " HotKeys to enabled-status: false",
                "Hot corner settings found at startup: "
                "[\"wvous-tl-corner\":2,\"wvous-tr-corner\":0,\"wvous-bl-corner\":5,"
                "\"wvous-br-corner\":0]",
                "Notification center disabled"}));
  for (const auto& line : lockdown.host.logs()) {
    EXPECT_EQ(line.level, "INFO");
  }
  // Hot keys first, corners after them, then the commands.
  const auto journal = lockdown.Journal();
  EXPECT_EQ(journal.front()["call"], "CGSSetSymbolicHotKeyEnabled");
  EXPECT_EQ(journal.back()["call"], "CoreDockSetExposeCornerAction");
}

TEST(InputHandlerTest, UnlockRestoresFromTheFileAndDeletesIt) {
  Lockdown lockdown(kScenario);
  lockdown.WriteDock({{"wvous-tl-corner", 2}, {"wvous-tr-corner", 13}, {"wvous-br-corner", -1}});
  InputHandlerSwift handler(true);
  handler.start();
  lockdown.center.setDelegate(nullptr);  // someone else changed it meanwhile
  const size_t lock_journal = lockdown.Journal().size();
  const size_t lock_hot_keys = lockdown.HotKeyCalls().size();

  CapturedStdout out;
  handler.stop();
  EXPECT_TRUE(out.Lines().empty());
  EXPECT_FALSE(handler.serviceRunning());
  EXPECT_FALSE(std::filesystem::exists(lockdown.settingsFolder("ExamHost") / "Settings.plist"));
  EXPECT_TRUE(std::filesystem::is_directory(lockdown.settingsFolder("ExamHost")));

  const auto journal = lockdown.Journal();
  std::vector<nlohmann::json> unlock(journal.begin() + static_cast<long>(lock_journal),
                                     journal.end());
  ASSERT_GE(unlock.size(), 5U);
  // Corners first, then the hot keys, the delegate last.
  for (int corner = 0; corner < 4; ++corner) {
    EXPECT_EQ(unlock[corner]["call"], "CoreDockSetExposeCornerAction");
  }
  EXPECT_EQ(lockdown.CornerCalls().size(), 8U);
  const auto corners = lockdown.CornerCalls();
  EXPECT_EQ(std::vector(corners.begin() + 4, corners.end()), Corners(2, 13, 0, -1));
  const auto hot_keys = lockdown.HotKeyCalls();
  const std::vector<int32_t> expected = Disabled({2, 3, 200});
  ASSERT_EQ(hot_keys.size(), lock_hot_keys + expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(hot_keys[lock_hot_keys + i], std::make_pair(expected[i], true));
  }
  EXPECT_EQ(unlock.back(), nlohmann::json::parse(R"({"service":"NSUserNotificationCenter",
      "call":"setDelegate:","args":{"delegate":"HostDelegate"}})"));
  EXPECT_TRUE(lockdown.bundles.hotKeyEnabled(100));
  EXPECT_FALSE(lockdown.bundles.hotKeyEnabled(200)) << "was disabled before the lockdown";

  const auto commands = lockdown.task.commands();
  EXPECT_EQ(std::vector(commands.begin() + 4, commands.end()),
            std::vector<std::string>(InputHandlerSwift::kUnlockCommands.begin(),
                                     InputHandlerSwift::kUnlockCommands.end()));
  EXPECT_EQ(lockdown.Messages().back(), "Notification center enabled");
}

TEST(InputHandlerTest, AnExistingSettingsFileIsKeptAndUsedByTheNextUnlock) {
  Lockdown lockdown(kScenario);
  lockdown.WriteDock({{"wvous-tl-corner", 0}});
  const auto file = lockdown.settingsFolder("ExamHost") / "Settings.plist";
  const std::string old =
      Lockdown::Xml({{"wvous-tl-corner", 6}, {"wvous-tr-corner", 1}, {"HotKeys", "64,65"}});
  Lockdown::WriteRaw(file, old);

  InputHandlerSwift handler(true);
  handler.start();
  EXPECT_EQ(Lockdown::ReadRaw(file), old);
  for (const auto& message : lockdown.Messages()) {
    EXPECT_EQ(message.find("Hot corner settings"), std::string::npos) << message;
  }
  EXPECT_EQ(lockdown.CornerCalls(), Corners(0, 0, 0, 0));
  EXPECT_EQ(lockdown.HotKeyCalls().size(), Disabled({2, 3, 200}).size());

  const size_t before = lockdown.HotKeyCalls().size();
  handler.stop();
  const auto corners = lockdown.CornerCalls();
  EXPECT_EQ(std::vector(corners.begin() + 4, corners.end()), Corners(6, 1, 0, 0));
  const auto hot_keys = lockdown.HotKeyCalls();
  EXPECT_EQ(std::vector(hot_keys.begin() + static_cast<long>(before), hot_keys.end()),
            (std::vector<std::pair<int32_t, bool>>{{64, true}, {65, true}}));
  EXPECT_FALSE(std::filesystem::exists(file));
}

// What each operation does in each state of the handler.
struct StateCase {
  const char* name;
  bool inputDisabled;
  bool running;
  bool callStart;  // else stop
  bool throws;
  size_t commands;
  bool runningAfter;
};

void PrintTo(const StateCase& c, std::ostream* os) { *os << c.name; }

class InputHandlerStateTest : public ::testing::TestWithParam<StateCase> {};

TEST_P(InputHandlerStateTest, FollowsTheStateTable) {
  const StateCase& c = GetParam();
  Lockdown lockdown(kScenario);
  InputHandlerSwift handler(c.inputDisabled);
  handler.setServiceRunning(c.running);
  if (c.throws) {
    try {
      handler.start();
      ADD_FAILURE() << "no exception";
    } catch (const InternalInconsistencyException& e) {
      EXPECT_EQ(e.reason(), "InputHandler service was running though inputDisabled was 0");
      EXPECT_STREQ(e.what(),
                   "NSInternalInconsistencyException: InputHandler service was running though "
                   "inputDisabled was 0");
    }
  } else if (c.callStart) {
    handler.start();
  } else {
    handler.stop();
  }
  EXPECT_EQ(handler.serviceRunning(), c.runningAfter);
  EXPECT_EQ(lockdown.task.commands().size(), c.commands);
  if (c.commands == 0) {
    EXPECT_TRUE(lockdown.host.logs().empty());
    EXPECT_TRUE(lockdown.Journal().empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    States, InputHandlerStateTest,
    ::testing::Values(
        StateCase{"IdleStartLocks", true, false, true, false, 4, true},
        StateCase{"IdleStartWithoutInputDisabledDoesNothing", false, false, true, false, 0, false},
        StateCase{"IdleStopDoesNothing", true, false, false, false, 0, false},
        StateCase{"IdleStopWithoutInputDisabledDoesNothing", false, false, false, false, 0, false},
        StateCase{"RunningStartDoesNothing", true, true, true, false, 0, true},
        StateCase{"RunningStartWithoutInputDisabledThrows", false, true, true, true, 0, true},
        StateCase{"RunningStopUnlocks", true, true, false, false, 4, false},
        StateCase{"RunningStopWithoutInputDisabledUnlocks", false, true, false, false, 4, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(InputHandlerTest, SecondStartAndStopDoNothing) {
  Lockdown lockdown(kScenario);
  InputHandlerSwift handler(true);
  handler.start();
  const size_t journal = lockdown.Journal().size();
  const size_t logs = lockdown.host.logs().size();
  handler.start();
  EXPECT_EQ(lockdown.task.commands().size(), 4U);
  EXPECT_EQ(lockdown.Journal().size(), journal);
  EXPECT_EQ(lockdown.host.logs().size(), logs);
  handler.stop();
  handler.stop();
  EXPECT_EQ(lockdown.task.commands().size(), 8U);
}

// The hot key walk when the private functions or their bundle are missing.
struct WalkCase {
  const char* name;
  std::string privateFunctions;
  std::vector<std::string> printed;
  std::vector<std::string> logged;
  size_t setterCalls;
  std::string savedList;
};

void PrintTo(const WalkCase& c, std::ostream* os) { *os << c.name; }

class HotKeyWalkTest : public ::testing::TestWithParam<WalkCase> {};

TEST_P(HotKeyWalkTest, SavesWhatItCouldDisable) {
  Lockdown lockdown(std::string(R"({"symbolicHotKeys": {"disabled": [0, 1, 2]},
                                    "privateFunctions": )") +
                    GetParam().privateFunctions + "}");
  InputHandlerSwift handler(true);
  CapturedStdout out;
  handler.saveUserSettingsAndDisable();
  EXPECT_EQ(out.Lines(), GetParam().printed);
  auto messages = lockdown.Messages();
  messages.pop_back();  // the corner summary
  EXPECT_EQ(messages, GetParam().logged);
  EXPECT_EQ(lockdown.HotKeyCalls().size(), GetParam().setterCalls);
  EXPECT_EQ(Lockdown::ReadPlist(lockdown.settingsFolder("") / "Settings.plist")["HotKeys"],
            GetParam().savedList);
}

const std::string kAllButFew = Join(Disabled({0, 1, 2}));

INSTANTIATE_TEST_SUITE_P(
    Functions, HotKeyWalkTest,
    ::testing::Values(WalkCase{"AllPresent",
                               "{}",
                               {},
                               {"Did we load the core graphics bundle? true",
                                "Setting 251 HotKeys to enabled-status: false"},
                               251,
                               kAllButFew},
                      WalkCase{"ProbeMissing",
                               R"({"missingFunctions": ["CGSIsSymbolicHotKeyEnabled"]})",
                               {},
                               {"Did we load the core graphics bundle? true",
                                "Setting 0 HotKeys to enabled-status: false"},
                               0,
                               ""},
                      WalkCase{"SetterMissing",
                               R"({"missingFunctions": ["CGSSetSymbolicHotKeyEnabled"]})",
                               {},
                               {"Did we load the core graphics bundle? true",
                                "Setting 251 HotKeys to enabled-status: false"},
                               0,
                               kAllButFew},
                      WalkCase{"ExecutableDoesNotLoad",
                               R"({"unloadableBundles": [")" +
                                   std::string(platform::kCoreGraphicsBundlePath) + R"("]})",
                               {},
                               {"Did we load the core graphics bundle? false",
                                "Setting 0 HotKeys to enabled-status: false"},
                               0,
                               ""},
                      WalkCase{"BundleMissing",
                               R"({"missingBundles": [")" +
                                   std::string(platform::kCoreGraphicsBundlePath) + R"("]})",
                               {"Failed to create bundle reference."},
                               {},
                               0,
                               ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HotKeyWalkTest, FifteenAndTwentySevenAreNeverDisabledButAreRestored) {
  Lockdown lockdown(R"({"symbolicHotKeys": {"disabled": []}})");
  InputHandlerSwift handler(true);
  std::vector<int32_t> all;
  for (int32_t id = 0; id < 256; ++id) {
    if (id != 15 && id != 27) {
      all.push_back(id);
    }
  }
  EXPECT_EQ(handler.applySymbolicHotKeys(std::nullopt), Join(all));
  EXPECT_TRUE(lockdown.bundles.hotKeyEnabled(15));
  EXPECT_TRUE(lockdown.bundles.hotKeyEnabled(27));
  EXPECT_FALSE(lockdown.bundles.hotKeyEnabled(14));

  // Only 15 and 27 enabled: nothing to disable.
  Lockdown only(R"({"symbolicHotKeys": {"disabled": [)" + Join(all) + "]}}");
  InputHandlerSwift second(true);
  EXPECT_EQ(second.applySymbolicHotKeys(std::nullopt), "");
  EXPECT_EQ(only.Messages().back(), "Setting 0 HotKeys to enabled-status: false");
  EXPECT_EQ(second.applySymbolicHotKeys(std::string("15,27")), "");
  EXPECT_EQ(only.HotKeyCalls(), (std::vector<std::pair<int32_t, bool>>{{15, true}, {27, true}}));
}

struct ListCase {
  const char* name;
  std::string list;
  size_t entries;
  std::vector<int32_t> enabled;
};

void PrintTo(const ListCase& c, std::ostream* os) { *os << c.name; }

class RestoreListTest : public ::testing::TestWithParam<ListCase> {};

TEST_P(RestoreListTest, EnablesTheValidIdsOnly) {
  Lockdown lockdown;
  InputHandlerSwift handler(true);
  EXPECT_EQ(handler.applySymbolicHotKeys(GetParam().list), "");
  EXPECT_EQ(lockdown.Messages().back(),
            "Setting " + std::to_string(GetParam().entries) + " HotKeys to enabled-status: true");
  std::vector<std::pair<int32_t, bool>> expected;
  for (int32_t id : GetParam().enabled) {
    expected.emplace_back(id, true);
  }
  EXPECT_EQ(lockdown.HotKeyCalls(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, RestoreListTest,
    ::testing::Values(ListCase{"Mixed", "5,,x,+7", 4, {5, 7}}, ListCase{"Empty", "", 1, {}},
                      ListCase{"Ascending", "0,1,118", 3, {0, 1, 118}},
                      ListCase{"Signs", "-1,+0,-0,+-3,--4,+", 6, {-1, 0, 0}},
                      ListCase{"Blanks", " 5,6 ,7", 3, {7}},
                      ListCase{"ThirtyTwoBitEdges",
                               "2147483647,2147483648,-2147483648,-2147483649",
                               4,
                               {2147483647, -2147483648}},
                      ListCase{"BeyondSixtyFourBits", "99999999999999999999,9", 2, {9}},
                      ListCase{"TrailingComma", "64,", 2, {64}},
                      ListCase{"NotDecimal", "0x10,1e2,1.0,٣", 4, {}}),
    [](const auto& info) { return std::string(info.param.name); });

struct CornerCase {
  const char* name;
  nlohmann::json value;
  int32_t action;
};

void PrintTo(const CornerCase& c, std::ostream* os) { *os << c.name; }

class CornerValueTest : public ::testing::TestWithParam<CornerCase> {};

TEST_P(CornerValueTest, RestoresOnlyExact32BitNumbers) {
  Lockdown lockdown;
  const auto file = lockdown.settingsFolder("") / "Settings.plist";
  Lockdown::WriteRaw(
      file, Lockdown::Xml(
                {{"wvous-tr-corner", GetParam().value}, {"wvous-bl-corner", 4}, {"HotKeys", ""}}));
  InputHandlerSwift handler(true);
  handler.restoreUserSettings();
  EXPECT_EQ(lockdown.CornerCalls(), Corners(0, GetParam().action, 4, 0));
  EXPECT_FALSE(std::filesystem::exists(file));
}

INSTANTIATE_TEST_SUITE_P(
    Values, CornerValueTest,
    ::testing::Values(CornerCase{"Integer", 12, 12}, CornerCase{"Negative", -3, -3},
                      CornerCase{"Text", "12", 0}, CornerCase{"AboveInt32", 2147483648LL, 0},
                      CornerCase{"Int32Max", 2147483647, 2147483647},
                      CornerCase{"Int32Min", -2147483648LL, -2147483648},
                      CornerCase{"BelowInt32", -2147483649LL, 0}, CornerCase{"WholeReal", 3.0, 3},
                      CornerCase{"FractionalReal", 2.5, 0}, CornerCase{"Boolean", true, 1},
                      CornerCase{"Array", nlohmann::json::array({1}), 0},
                      CornerCase{"Dictionary", nlohmann::json{{"a", 1}}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// The Dock preferences file in its different shapes.
struct DockCase {
  const char* name;
  std::optional<std::string> bytes;  // nullopt: no file
  std::vector<std::string> printed;
  std::string summary;
  nlohmann::json saved;
};

void PrintTo(const DockCase& c, std::ostream* os) { *os << c.name; }

class DockPreferencesTest : public ::testing::TestWithParam<DockCase> {};

TEST_P(DockPreferencesTest, SavesWhatTheDockFileSays) {
  Lockdown lockdown(
      R"({"privateFunctions": {"missingFunctions": ["CGSIsSymbolicHotKeyEnabled"]}})");
  if (GetParam().bytes) {
    Lockdown::WriteRaw(lockdown.dockFile(), *GetParam().bytes);
  }
  InputHandlerSwift handler(true);
  CapturedStdout out;
  handler.saveUserSettingsAndDisable();
  EXPECT_EQ(out.Lines(), GetParam().printed);
  EXPECT_EQ(lockdown.Messages().back(),
            "Hot corner settings found at startup: " + GetParam().summary);
  EXPECT_EQ(Lockdown::ReadPlist(lockdown.settingsFolder("") / "Settings.plist"), GetParam().saved);
}

const nlohmann::json kZeros = {{"wvous-tl-corner", 0},
                               {"wvous-tr-corner", 0},
                               {"wvous-bl-corner", 0},
                               {"wvous-br-corner", 0},
                               {"HotKeys", ""}};

INSTANTIATE_TEST_SUITE_P(
    Files, DockPreferencesTest,
    ::testing::Values(
        DockCase{"Missing", std::nullopt, {}, "[:]", {{"HotKeys", ""}}},
        DockCase{"NotAPropertyList",
                 "not a plist",
                 {"Error reading plist: The data couldn't be read because it isn't in the "
                  "correct format."},
                 "[:]",
                 {{"HotKeys", ""}}},
        DockCase{
            "ArrayRoot", Lockdown::Xml(nlohmann::json::array({1})), {}, "[:]", {{"HotKeys", ""}}},
        DockCase{
            "WithoutCornerKeys",
            Lockdown::Xml({{"autohide", true}, {"tilesize", 48}}),
            {},
            R"(["wvous-tl-corner":0,"wvous-tr-corner":0,"wvous-bl-corner":0,"wvous-br-corner":0])",
            kZeros},
        DockCase{
            "CornerValuesOfOtherTypes",
            Lockdown::Xml({{"wvous-tl-corner", "4"},
                           {"wvous-tr-corner", 7.9},
                           {"wvous-bl-corner", true},
                           {"wvous-br-corner", 4294967296LL}}),
            {},
            R"(["wvous-tl-corner":0,"wvous-tr-corner":7,"wvous-bl-corner":1,"wvous-br-corner":4294967296])",
            {{"wvous-tl-corner", 0},
             {"wvous-tr-corner", 7},
             {"wvous-bl-corner", 1},
             {"wvous-br-corner", 4294967296LL},
             {"HotKeys", ""}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HotCornerTest, MissingHIServicesOrCornerFunction) {
  {
    Lockdown lockdown(std::string(R"({"privateFunctions": {"missingBundles": [")") +
                      platform::kHIServicesBundlePath + "\"]}}");
    InputHandlerSwift handler(true);
    CapturedStdout out;
    handler.updateHotCornerSettings(nlohmann::json::object());
    EXPECT_TRUE(out.Lines().empty());
    EXPECT_TRUE(lockdown.CornerCalls().empty());
  }
  {
    Lockdown lockdown(
        R"({"privateFunctions": {"missingFunctions": ["CoreDockSetExposeCornerAction"]}})");
    InputHandlerSwift handler(true);
    CapturedStdout out;
    handler.updateHotCornerSettings(nlohmann::json{{"wvous-tl-corner", 3}});
    EXPECT_EQ(out.Lines(), std::vector<std::string>{"Function pointer not found"});
    EXPECT_TRUE(lockdown.CornerCalls().empty());
  }
}

TEST(RestoreTest, WithoutSettingsFileZeroesCornersAndLeavesNoFile) {
  Lockdown lockdown;
  InputHandlerSwift handler(true);
  CapturedStdout out;
  handler.restoreUserSettings();
  EXPECT_TRUE(out.Lines().empty());
  EXPECT_EQ(lockdown.CornerCalls(), Corners(0, 0, 0, 0));
  EXPECT_TRUE(lockdown.HotKeyCalls().empty());
  EXPECT_TRUE(lockdown.Messages().empty()) << "no hot key walk for an empty dictionary";
  EXPECT_FALSE(std::filesystem::exists(lockdown.settingsFolder("") / "Settings.plist"));
}

TEST(RestoreTest, UnreadableSettingsFileStaysAndNothingIsRestored) {
  Lockdown lockdown;
  const auto file = lockdown.settingsFolder("") / "Settings.plist";
  const std::string broken = Lockdown::Xml(nlohmann::json::array({"HotKeys"}));
  Lockdown::WriteRaw(file, broken);
  InputHandlerSwift handler(true);
  CapturedStdout out;
  handler.restoreUserSettings();
  EXPECT_EQ(out.Lines(), (std::vector<std::string>{
                             "ERROR: unable to read .plist file: " + PlistIO::FileURLText(file),
                             "Failed to read user settings."}));
  EXPECT_EQ(Lockdown::ReadRaw(file), broken);
  EXPECT_TRUE(lockdown.CornerCalls().empty());
  EXPECT_TRUE(lockdown.HotKeyCalls().empty());
}

TEST(RestoreTest, HotKeysThatAreNotTextAreNotRestored) {
  Lockdown lockdown;
  Lockdown::WriteRaw(lockdown.settingsFolder("") / "Settings.plist",
                     Lockdown::Xml({{"HotKeys", 64}, {"wvous-tl-corner", 1}}));
  InputHandlerSwift handler(true);
  handler.restoreUserSettings();
  EXPECT_EQ(lockdown.CornerCalls(), Corners(1, 0, 0, 0));
  EXPECT_TRUE(lockdown.HotKeyCalls().empty());
}

TEST(RestoreTest, SettingsFolderUnavailable) {
  Lockdown lockdown(R"({"symbolicHotKeys": {"disabled": []}})");
  lockdown.files.failApplicationSupport = true;
  InputHandlerSwift handler(true);
  {
    CapturedStdout out;
    handler.saveUserSettingsAndDisable();
    EXPECT_EQ(out.Lines(),
              (std::vector<std::string>{
                  "ERROR: Unable to determine Application Support directory: no support folder",
                  "ERROR: Unable to determine Application Support directory"}));
  }
  EXPECT_EQ(lockdown.HotKeyCalls().size(), 254U) << "hot keys are still disabled";
  EXPECT_EQ(lockdown.CornerCalls(), Corners(0, 0, 0, 0));
  {
    CapturedStdout out;
    handler.restoreUserSettings();
    EXPECT_EQ(out.Lines(),
              (std::vector<std::string>{
                  "ERROR: Unable to determine Application Support directory: no support folder",
                  "ERROR: Unable to determine Application Support directory",
                  "Failed to read user settings."}));
  }
  EXPECT_EQ(lockdown.HotKeyCalls().size(), 254U) << "and stay disabled";
  EXPECT_EQ(lockdown.CornerCalls().size(), 4U);
}

TEST(RestoreTest, FileThatCannotBeRemovedIsAppliedAgainNextTime) {
  Lockdown lockdown;
  const auto file = lockdown.settingsFolder("") / "Settings.plist";
  Lockdown::WriteRaw(file, Lockdown::Xml({{"wvous-br-corner", 9}, {"HotKeys", "70"}}));
  lockdown.files.failRemove = true;
  InputHandlerSwift handler(true);
  for (int round = 0; round < 2; ++round) {
    CapturedStdout out;
    handler.restoreUserSettings();
    EXPECT_EQ(out.Lines(), std::vector<std::string>{"Error removing plist file: file is locked"});
  }
  EXPECT_TRUE(std::filesystem::exists(file));
  const auto corners = lockdown.CornerCalls();
  EXPECT_EQ(std::vector(corners.begin(), corners.begin() + 4), Corners(0, 0, 0, 9));
  EXPECT_EQ(std::vector(corners.begin() + 4, corners.end()), Corners(0, 0, 0, 9));
  EXPECT_EQ(lockdown.HotKeyCalls(),
            (std::vector<std::pair<int32_t, bool>>{{70, true}, {70, true}}));
}

TEST(RestoreTest, FileWithoutUrlIsRestoredButNotRemoved) {
  Lockdown lockdown;
  // A PlistIO whose url is cleared after it was read.
  class ForgetfulPlistIO : public PlistIO {
   public:
    std::optional<Dictionary> read() override {
      setUrl(std::nullopt);
      return Dictionary{{"wvous-tl-corner", 1}};
    }
  };
  ForgetfulPlistIO io;
  InputHandlerSwift handler(true);
  CapturedStdout out;
  handler.restoreUserSettingsFrom(&io);
  EXPECT_EQ(out.Lines(),
            std::vector<std::string>{"plistIO or its URL is nil; cannot remove item."});
  EXPECT_EQ(lockdown.CornerCalls(), Corners(1, 0, 0, 0));
  CapturedStdout none;
  handler.restoreUserSettingsFrom(nullptr);
  EXPECT_EQ(none.Lines(), std::vector<std::string>{"Failed to read user settings."});
}

TEST(InputHandlerTest, NotificationCallbacksLogTheTitle) {
  Lockdown lockdown;
  InputHandlerSwift handler(true);
  handler.userNotificationCenterDidDeliverNotification(lockdown.center, {"Exam starts"});
  handler.userNotificationCenterDidActivateNotification(lockdown.center, {std::nullopt});
  EXPECT_TRUE(handler.userNotificationCenterShouldPresentNotification(lockdown.center, {"Mail"}));
  EXPECT_EQ(lockdown.Messages(),
            (std::vector<std::string>{"UserNotificationCenter didDeliverNotification: Exam starts",
                                      "UserNotificationCenter didActivateNotification: ",
                                      "UserNotificationCenter shouldPresentNotification: Mail"}));
  EXPECT_TRUE(lockdown.Journal().empty());
}

TEST(InputHandlerTest, ConstructionRecordsTheCentreAndItsDelegate) {
  Lockdown with(R"({"notificationCenterDelegate": "HostDelegate"})");
  InputHandlerSwift handler(true);
  EXPECT_EQ(&handler.notificationCenter(), &with.center);
  ASSERT_TRUE(handler.originalDelegate());
  EXPECT_EQ(handler.originalDelegate()->delegateName(), "HostDelegate");
  EXPECT_EQ(handler.pathToCoreGraphicsBundle(), platform::kCoreGraphicsBundlePath);
  EXPECT_FALSE(handler.wasNotificationCenterRunning());

  Lockdown without;
  InputHandlerSwift bare(true);
  EXPECT_EQ(bare.originalDelegate(), nullptr);
  bare.setServiceRunning(true);
  bare.stop();
  EXPECT_EQ(without.Journal("setDelegate:").back()["args"]["delegate"], nullptr);
}

TEST(InputHandlerTest, CompactDescription) {
  EXPECT_EQ(InputHandlerSwift::compactDescription(std::nullopt), std::nullopt);
  EXPECT_EQ(InputHandlerSwift::compactDescription(std::string("[\"a\": 1,\n \"b\": 2]")),
            "[\"a\":1, \"b\":2]");
  EXPECT_EQ(InputHandlerSwift::compactDescription(std::string("\t x\n\n")), "\tx  ");
}

TEST(InputHandlerTest, SecondLockCommandIs148Characters) {
  EXPECT_EQ(std::string(InputHandlerSwift::kLockCommands[1]).size(), 148U);
  EXPECT_EQ(std::string(InputHandlerSwift::kLockCommands.back()), "killall NotificationCenter");
  EXPECT_EQ(std::string(InputHandlerSwift::kUnlockCommands.back()), "killall NotificationCenter");
}

}  // namespace
}  // namespace osxnatives
