#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

#include "input/input_handler_swift.h"
#include "tests/input/lockdown_support.h"
#include "tests/support/temp_dir.h"

namespace osxnatives {
namespace {

namespace fs = std::filesystem;
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

std::vector<std::pair<int32_t, bool>> Set(const std::vector<int32_t>& ids, bool enabled) {
  std::vector<std::pair<int32_t, bool>> calls;
  calls.reserve(ids.size());
  for (int32_t id : ids) {
    calls.emplace_back(id, enabled);
  }
  return calls;
}

template <typename T>
std::vector<T> From(const std::vector<T>& all, size_t first) {
  return {all.begin() + static_cast<long>(first), all.end()};
}

TEST(InputHandlerTest, LockdownSavesDisablesAndSilencesThenUnlockRestores) {
  Lockdown lockdown(kScenario);
  lockdown.WriteDock({{"wvous-tl-corner", 2},
                      {"wvous-tr-corner", 13},
                      {"wvous-br-corner", -1},
                      {"autohide", true}});
  InputHandlerSwift handler(true);
  CapturedStdout out;
  handler.start();
  EXPECT_TRUE(handler.serviceRunning());

  const std::vector<int32_t> expected = Disabled({2, 3, 200});
  const auto file = lockdown.settingsFolder("ExamHost") / "Settings.plist";
  EXPECT_EQ(Lockdown::ReadPlist(file), (nlohmann::json{{"wvous-tl-corner", 2},
                                                       {"wvous-tr-corner", 13},
                                                       {"wvous-bl-corner", 0},
                                                       {"wvous-br-corner", -1},
                                                       {"HotKeys", Join(expected)}}));
  EXPECT_EQ(lockdown.HotKeyCalls(), Set(expected, false));
  EXPECT_EQ(lockdown.CornerCalls(), Corners(0, 0, 0, 0));
  EXPECT_EQ(lockdown.task.commands(),
            std::vector<std::string>(InputHandlerSwift::kLockCommands.begin(),
                                     InputHandlerSwift::kLockCommands.end()));
  EXPECT_EQ(lockdown.Messages(),
            (std::vector<std::string>{
                "Did we load the core graphics bundle? true",
                "Setting " + std::to_string(expected.size()) + " HotKeys to enabled-status: false",
                "Hot corner settings found at startup: "
                "[\"wvous-tl-corner\":2,\"wvous-tr-corner\":13,\"wvous-bl-corner\":0,"
                "\"wvous-br-corner\":-1]",
                "Notification center disabled"}));
  for (const auto& line : lockdown.host.logs()) {
    EXPECT_EQ(line.level, "INFO");
  }
  EXPECT_TRUE(lockdown.systemLog.lines().empty());
  // Hot keys first, corners after them, then the commands.
  const auto lock_journal = lockdown.Journal();
  EXPECT_EQ(lock_journal.front()["call"], "CGSSetSymbolicHotKeyEnabled");
  EXPECT_EQ(lock_journal.back()["call"], "CoreDockSetExposeCornerAction");

  lockdown.center.setDelegate(nullptr);  // someone else changed it meanwhile
  const size_t lock_entries = lockdown.Journal().size();
  handler.stop();
  EXPECT_TRUE(out.Lines().empty());
  EXPECT_FALSE(handler.serviceRunning());
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_TRUE(std::filesystem::is_directory(lockdown.settingsFolder("ExamHost")));
  // Corners first, then the hot keys, the delegate last.
  const auto unlock = From(lockdown.Journal(), lock_entries);
  ASSERT_GE(unlock.size(), 5U);
  for (int corner = 0; corner < 4; ++corner) {
    EXPECT_EQ(unlock[corner]["call"], "CoreDockSetExposeCornerAction");
  }
  EXPECT_EQ(From(lockdown.CornerCalls(), 4), Corners(2, 13, 0, -1));
  EXPECT_EQ(From(lockdown.HotKeyCalls(), expected.size()), Set(expected, true));
  EXPECT_EQ(unlock.back(), nlohmann::json::parse(R"({"service":"NSUserNotificationCenter",
      "call":"setDelegate:","args":{"delegate":"HostDelegate"}})"));
  EXPECT_TRUE(lockdown.bundles.hotKeyEnabled(100));
  EXPECT_FALSE(lockdown.bundles.hotKeyEnabled(200)) << "was disabled before the lockdown";
  EXPECT_EQ(From(lockdown.task.commands(), 4),
            std::vector<std::string>(InputHandlerSwift::kUnlockCommands.begin(),
                                     InputHandlerSwift::kUnlockCommands.end()));
  EXPECT_EQ(lockdown.Messages().back(), "Notification center enabled");
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

std::vector<std::string> Walked(bool loaded, int count) {
  return {std::string("Did we load the core graphics bundle? ") + (loaded ? "true" : "false"),
          "Setting " + std::to_string(count) + " HotKeys to enabled-status: false"};
}

const std::string kCG = platform::kCoreGraphicsBundlePath;

WalkCase Walk(const char* name, std::string functions, std::vector<std::string> printed,
              std::vector<std::string> logged, size_t calls, std::string saved) {
  return {name,  std::move(functions), std::move(printed), std::move(logged),
          calls, std::move(saved)};
}

INSTANTIATE_TEST_SUITE_P(
    Functions, HotKeyWalkTest,
    ::testing::Values(Walk("ProbeMissing",
                           R"({"missingFunctions": ["CGSIsSymbolicHotKeyEnabled"]})", {},
                           Walked(true, 0), 0, ""),
                      Walk("SetterMissing",
                           R"({"missingFunctions": ["CGSSetSymbolicHotKeyEnabled"]})", {},
                           Walked(true, 251), 0, Join(Disabled({0, 1, 2}))),
                      Walk("ExecutableDoesNotLoad", R"({"unloadableBundles": [")" + kCG + R"("]})",
                           {}, Walked(false, 0), 0, ""),
                      Walk("BundleMissing", R"({"missingBundles": [")" + kCG + R"("]})",
                           {"Failed to create bundle reference."}, {}, 0, "")),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HotKeyWalkTest, FifteenAndTwentySevenAreNeverDisabledButAreRestored) {
  Lockdown lockdown(R"({"symbolicHotKeys": {"disabled": []}})");
  InputHandlerSwift handler(true);
  const std::vector<int32_t> all = Disabled({});
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
  EXPECT_EQ(only.HotKeyCalls(), Set({15, 27}, true));
}

// `restoreUserSettings` for each shape of the settings file.
struct RestoreCase {
  std::string name;
  std::optional<std::string> bytes;  // nullopt: no file
  std::vector<std::string> printed;  // "URL" stands for the file's URL text
  std::vector<std::pair<int32_t, int32_t>> corners;
  int entries;  // of the "Setting N HotKeys" line; -1: no such line
  std::vector<int32_t> enabled;
  bool fileStays;
};

void PrintTo(const RestoreCase& c, std::ostream* os) { *os << c.name; }

class RestoreTest : public ::testing::TestWithParam<RestoreCase> {};

TEST_P(RestoreTest, RestoresWhatTheFileHolds) {
  const RestoreCase& c = GetParam();
  Lockdown lockdown;
  const auto file = lockdown.settingsFolder("") / "Settings.plist";
  if (c.bytes) {
    Lockdown::WriteRaw(file, *c.bytes);
  }
  InputHandlerSwift handler(true);
  CapturedStdout out;
  handler.restoreUserSettings();
  std::vector<std::string> printed = c.printed;
  for (auto& line : printed) {
    if (const size_t at = line.find("URL"); at != std::string::npos) {
      line.replace(at, 3, PlistIO::FileURLText(file));
    }
  }
  EXPECT_EQ(out.Lines(), printed);
  EXPECT_EQ(lockdown.CornerCalls(), c.corners);
  EXPECT_EQ(lockdown.HotKeyCalls(), Set(c.enabled, true));
  const auto messages = lockdown.Messages();
  if (c.entries < 0) {
    EXPECT_TRUE(messages.empty()) << messages.front();
  } else {
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(),
              "Setting " + std::to_string(c.entries) + " HotKeys to enabled-status: true");
  }
  EXPECT_EQ(std::filesystem::exists(file), c.fileStays);
  if (c.fileStays) {
    EXPECT_EQ(Lockdown::ReadRaw(file), c.bytes);
  }
}

RestoreCase Restore(std::string name, std::optional<std::string> bytes,
                    std::vector<std::string> printed,
                    std::vector<std::pair<int32_t, int32_t>> corners, int entries,
                    std::vector<int32_t> enabled, bool stays) {
  return {std::move(name),
          std::move(bytes),
          std::move(printed),
          std::move(corners),
          entries,
          std::move(enabled),
          stays};
}

// A file whose hot key list is `list`: every corner restores to 0.
RestoreCase List(std::string name, const std::string& list, int entries,
                 std::vector<int32_t> enabled) {
  return Restore(std::move(name), Lockdown::Xml({{"HotKeys", list}}), {}, Corners(0, 0, 0, 0),
                 entries, std::move(enabled), false);
}

// A file whose top right corner is `value`: restored as `action`; bottom left is 4.
RestoreCase Corner(std::string name, const nlohmann::json& value, int32_t action) {
  return Restore(
      std::move(name),
      Lockdown::Xml({{"wvous-tr-corner", value}, {"wvous-bl-corner", 4}, {"HotKeys", ""}}), {},
      Corners(0, action, 4, 0), 1, {}, false);
}

INSTANTIATE_TEST_SUITE_P(
    Files, RestoreTest,
    ::testing::Values(
        Restore("NoFileZeroesCornersAndLeavesNoFile", std::nullopt, {}, Corners(0, 0, 0, 0), -1, {},
                false),
        Restore("UnreadableFileStaysAndNothingIsRestored",
                Lockdown::Xml(nlohmann::json::array({"HotKeys"})),
                {"ERROR: unable to read .plist file: URL", "Failed to read user settings."}, {}, -1,
                {}, true),
        Restore("HotKeysThatAreNotText", Lockdown::Xml({{"HotKeys", 64}, {"wvous-tl-corner", 1}}),
                {}, Corners(1, 0, 0, 0), -1, {}, false),
        Restore("OversizeFileIsNotRead",
                Lockdown::Xml({{"HotKeys", "64"}, {"padding", std::string(size_t{1} << 20, 'x')}}),
                {"ERROR: unable to read .plist file: URL", "Failed to read user settings."}, {}, -1,
                {}, true),
        List("MixedList", "5,,x,+7", 4, {5, 7}), List("EmptyList", "", 1, {}),
        List("Signs", "-1,+0,-0,+-3,--4,+", 6, {-1, 0, 0}), List("Blanks", " 5,6 ,7", 3, {7}),
        List("ThirtyTwoBitEdges", "2147483647,2147483648,-2147483648,-2147483649", 4,
             {2147483647, -2147483648}),
        List("BeyondSixtyFourBits", "99999999999999999999,9", 2, {9}),
        List("NotDecimal", "0x10,1e2,1.0,٣", 4, {}), Corner("IntegerCorner", 12, 12),
        Corner("TextCorner", "12", 0), Corner("AboveInt32", 2147483648LL, 0),
        Corner("Int32Min", -2147483648LL, -2147483648), Corner("BelowInt32", -2147483649LL, 0),
        Corner("WholeReal", 3.0, 3), Corner("FractionalReal", 2.5, 0), Corner("Boolean", true, 1),
        Corner("Array", nlohmann::json::array({1}), 0)),
    [](const auto& info) { return info.param.name; });

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

DockCase Dock(const char* name, std::optional<std::string> bytes, std::vector<std::string> printed,
              std::string summary, nlohmann::json corners) {
  corners["HotKeys"] = "";
  return {name, std::move(bytes), std::move(printed), std::move(summary), std::move(corners)};
}

const nlohmann::json kNone = nlohmann::json::object();
const std::string kZeroSummary =
    R"(["wvous-tl-corner":0,"wvous-tr-corner":0,"wvous-bl-corner":0,"wvous-br-corner":0])";

INSTANTIATE_TEST_SUITE_P(
    Files, DockPreferencesTest,
    ::testing::Values(
        Dock("Missing", std::nullopt, {}, "[:]", kNone),
        Dock("NotAPropertyList", "not a plist",
             {"Error reading plist: The data couldn't be read because it isn't in the correct "
              "format."},
             "[:]", kNone),
        Dock("ArrayRoot", Lockdown::Xml(nlohmann::json::array({1})), {}, "[:]", kNone),
        Dock("WithoutCornerKeys", Lockdown::Xml({{"autohide", true}, {"tilesize", 48}}), {},
             kZeroSummary,
             {{"wvous-tl-corner", 0},
              {"wvous-tr-corner", 0},
              {"wvous-bl-corner", 0},
              {"wvous-br-corner", 0}}),
        Dock(
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
             {"wvous-br-corner", 4294967296LL}})),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HotCornerTest, MissingHIServicesOrCornerFunction) {
  for (const std::string& missing :
       {R"("missingBundles": [")" + std::string(platform::kHIServicesBundlePath) + "\"]",
        std::string(R"("missingFunctions": ["CoreDockSetExposeCornerAction"])")}) {
    Lockdown lockdown(R"({"privateFunctions": {)" + missing + "}}");
    InputHandlerSwift handler(true);
    CapturedStdout out;
    handler.updateHotCornerSettings(nlohmann::json{{"wvous-tl-corner", 3}});
    const bool bundle = missing.find("Bundles") != std::string::npos;
    EXPECT_EQ(out.Lines(), bundle ? std::vector<std::string>{}
                                  : std::vector<std::string>{"Function pointer not found"});
    EXPECT_TRUE(lockdown.CornerCalls().empty());
  }
}

TEST(RestoreTest, SettingsFolderUnavailable) {
  Lockdown lockdown(R"({"symbolicHotKeys": {"disabled": []}})");
  lockdown.files.failApplicationSupport = true;
  InputHandlerSwift handler(true);
  const std::vector<std::string> no_folder = {
      "ERROR: Unable to determine Application Support directory: no support folder",
      "ERROR: Unable to determine Application Support directory"};
  {
    CapturedStdout out;
    handler.saveUserSettingsAndDisable();
    EXPECT_EQ(out.Lines(), no_folder);
  }
  EXPECT_EQ(lockdown.HotKeyCalls().size(), 254U) << "hot keys are still disabled";
  EXPECT_EQ(lockdown.CornerCalls(), Corners(0, 0, 0, 0));
  EXPECT_EQ(lockdown.systemLog.lines().size(), 1U) << "the loss is reported once";
  {
    CapturedStdout out;
    handler.restoreUserSettings();
    std::vector<std::string> expected = no_folder;
    expected.emplace_back("Failed to read user settings.");
    EXPECT_EQ(out.Lines(), expected);
  }
  EXPECT_EQ(lockdown.HotKeyCalls().size(), 254U) << "and stay disabled";
  EXPECT_EQ(lockdown.CornerCalls().size(), 4U);
}

// A full disk or a read-only folder: the lockdown still disables everything,
// and says once, in the system log, that nothing could be saved.
TEST(RestoreTest, SettingsThatCannotBeWrittenAreReportedOnce) {
  Lockdown lockdown(R"({"symbolicHotKeys": {"disabled": []}})");
  lockdown.files.failWrite = true;
  InputHandlerSwift handler(true);
  {
    CapturedStdout out;
    handler.saveUserSettingsAndDisable();
  }
  EXPECT_EQ(lockdown.HotKeyCalls().size(), 254U);
  EXPECT_EQ(lockdown.CornerCalls(), Corners(0, 0, 0, 0));
  const auto lines = lockdown.systemLog.lines();
  ASSERT_EQ(lines.size(), 1U);
  EXPECT_NE(lines[0].find("could be saved in " + lockdown.settingsFolder("").string() + ";"),
            std::string::npos)
      << lines[0];
}

// What the unlock restores from when a lockdown died before its settings
// file was complete: a complete copy beside it wins over a missing or
// incomplete file, never over a complete one; every copy goes with the file.
TEST(RestoreTest, CopiesLeftByAKilledLockdown) {
  const std::string mine = Lockdown::Xml({{"wvous-tl-corner", 6}, {"HotKeys", "64"}});
  const std::string older = Lockdown::Xml({{"wvous-tl-corner", 9}, {"HotKeys", "70"}});
  const struct {
    const char* name;
    std::map<std::string, std::string> files;  // name in the folder -> bytes
    int32_t corner;
    std::vector<int32_t> enabled;
  } cases[] = {
      {"RecordOnly", {{".osxnatives-wal.plist", mine}}, 6, {64}},
      {"TemporaryOnly", {{".Settings.plist.a1B2c3", mine}}, 6, {64}},
      {"UnfinishedTemporaryIsNoCopy", {{".Settings.plist.a1B2c3", mine.substr(0, 80)}}, 0, {}},
      {"RecordOverUnreadableFile",
       {{"Settings.plist", "garbage"}, {".osxnatives-wal.plist", mine}},
       6,
       {64}},
      {"RecordOverEmptyFile",
       {{"Settings.plist", Lockdown::Xml(nlohmann::json::object())},
        {".osxnatives-wal.plist", mine}},
       6,
       {64}},
      {"CompleteFileOverRecord",
       {{"Settings.plist", mine}, {".osxnatives-wal.plist", older}},
       6,
       {64}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Lockdown lockdown;
    const fs::path folder = lockdown.settingsFolder("");
    for (const auto& [name, bytes] : c.files) {
      Lockdown::WriteRaw(folder / name, bytes);
    }
    InputHandlerSwift handler(true);
    {
      CapturedStdout out;
      handler.restoreUserSettings();
    }
    EXPECT_EQ(lockdown.CornerCalls(), Corners(c.corner, 0, 0, 0));
    EXPECT_EQ(lockdown.HotKeyCalls(), Set(c.enabled, true));
    EXPECT_TRUE(fs::is_empty(folder)) << "every copy is removed with the file";
  }
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
  auto twice = Corners(0, 0, 0, 9);
  const auto once = twice;
  twice.insert(twice.end(), once.begin(), once.end());
  EXPECT_EQ(lockdown.CornerCalls(), twice);
  EXPECT_EQ(lockdown.HotKeyCalls(), Set({70, 70}, true));
}

// A bundle name is used as one folder name below "Trevant", or not at all.
TEST(SettingsFolderTest, BundleNameThatIsNoFolderNameFallsBackToTrevant) {
  testing::TempDir outside;
  const struct {
    std::string name;
    const char* problem;  // null: a usable name
  } cases[] = {
      {"a/b", "it holds a \"/\""},
      {(outside.path() / "elsewhere").string(), "it holds a \"/\""},
      {"..", "it is \"..\""},
      {".", "it is \".\""},
      {std::string("Exam\0Host", 9), "it holds a NUL character"},
      {"", "it is empty"},
      {" \t ", "it is empty"},
      {std::string(256, 'x'), "it is longer than 255 bytes"},
      {std::string(255, 'x'), nullptr},
      {"...", nullptr},
      {".Exam Host ", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Lockdown lockdown(nlohmann::json{{"currentApplication", {{"bundleName", c.name}}}}.dump());
    InputHandlerSwift handler(true);
    CapturedStdout out;
    handler.saveUserSettingsAndDisable();
    const auto folder =
        c.problem != nullptr ? lockdown.settingsFolder("") : lockdown.settingsFolder("") / c.name;
    EXPECT_TRUE(Lockdown::ReadPlist(folder / "Settings.plist").is_object());
    EXPECT_EQ(out.Lines(), c.problem == nullptr
                               ? std::vector<std::string>{}
                               : std::vector<std::string>{
                                     std::string("ERROR: The bundle name cannot be the settings "
                                                 "folder (") +
                                     c.problem + "); using the Trevant folder itself"});
    EXPECT_TRUE(std::filesystem::is_empty(outside.path()));
  }
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

TEST(InputHandlerTest, StopWithoutARecordedDelegateClearsIt) {
  Lockdown lockdown;
  InputHandlerSwift handler(true);
  EXPECT_EQ(handler.originalDelegate(), nullptr);
  handler.setServiceRunning(true);
  handler.stop();
  EXPECT_EQ(lockdown.Journal("setDelegate:").back()["args"]["delegate"], nullptr);
}

TEST(InputHandlerTest, CompactDescription) {
  EXPECT_EQ(InputHandlerSwift::compactDescription(std::nullopt), std::nullopt);
  EXPECT_EQ(InputHandlerSwift::compactDescription(std::string("[\"a\": 1,\n \"b\": 2]")),
            "[\"a\":1, \"b\":2]");
  EXPECT_EQ(InputHandlerSwift::compactDescription(std::string("\t x\n\n")), "\tx  ");
}

}  // namespace
}  // namespace osxnatives
