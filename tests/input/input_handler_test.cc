#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <map>

#include "input/input_handler_swift.h"
#include "input/plist_io.h"
#include "tests/input/lockdown_support.h"
#include "tests/support/temp_dir.h"

namespace osxnatives {
namespace {

namespace fs = std::filesystem;
using testing::CapturedStdout;
using testing::Lockdown;
using Json = nlohmann::json;

const std::string kNoDisabledHotKeys = R"({"symbolicHotKeys": {"disabled": []}})";

std::vector<std::pair<int32_t, int32_t>> Corners(int32_t tl, int32_t tr, int32_t bl, int32_t br) {
  return {{tl, 0}, {tr, 1}, {bl, 2}, {br, 3}};
}

// The ids 0-255 the lockdown disables when those in `off` are disabled
// already: never 15 and 27.
std::vector<int32_t> Disabled(const std::vector<int32_t>& off) {
  std::vector<int32_t> ids;
  for (int32_t id = 0; id < 256; ++id) {
    if (id != 15 && id != 27 && std::count(off.begin(), off.end(), id) == 0) ids.push_back(id);
  }
  return ids;
}

std::string Join(const std::vector<int32_t>& ids) {
  std::string text;
  for (int32_t id : ids) text += (text.empty() ? "" : ",") + std::to_string(id);
  return text;
}

std::vector<std::pair<int32_t, bool>> Set(const std::vector<int32_t>& ids, bool enabled) {
  std::vector<std::pair<int32_t, bool>> calls;
  calls.reserve(ids.size());
  for (int32_t id : ids) calls.emplace_back(id, enabled);
  return calls;
}

// The corner keys of the Dock preferences with these values.
Json Dock(int64_t tl, int64_t tr, int64_t bl, int64_t br) {
  return {{"wvous-tl-corner", tl},
          {"wvous-tr-corner", tr},
          {"wvous-bl-corner", bl},
          {"wvous-br-corner", br}};
}

template <typename T>
std::vector<T> From(const std::vector<T>& all, size_t first) {
  return {all.begin() + static_cast<long>(first), all.end()};
}

TEST(InputHandlerTest, LockdownSavesDisablesAndSilencesThenUnlockRestores) {
  Lockdown lockdown(R"({"currentApplication": {"bundleName": "ExamHost"},
                        "notificationCenterDelegate": "HostDelegate",
                        "symbolicHotKeys": {"disabled": [2, 3, 200]}})");
  lockdown.WriteDock({{"wvous-tl-corner", 2}, {"wvous-tr-corner", 13}, {"wvous-br-corner", -1}});
  InputHandlerSwift handler(true);
  CapturedStdout out;
  handler.start();

  const std::vector<int32_t> expected = Disabled({2, 3, 200});
  const auto file = lockdown.settingsFolder("ExamHost") / "Settings.plist";
  Json saved = Dock(2, 13, 0, -1);
  saved["HotKeys"] = Join(expected);
  EXPECT_EQ(Lockdown::ReadPlist(file), saved);
  EXPECT_EQ(lockdown.HotKeyCalls(), Set(expected, false));
  EXPECT_EQ(lockdown.CornerCalls(), Corners(0, 0, 0, 0));
  EXPECT_EQ(lockdown.task.commands().size(), 4U);
  EXPECT_EQ(lockdown.host.logs().at(2).message,
            R"(Hot corner settings found at startup: ["wvous-tl-corner":2,"wvous-tr-corner":13,)"
            R"("wvous-bl-corner":0,"wvous-br-corner":-1])");
  EXPECT_TRUE(lockdown.systemLog.lines().empty());
  // Hot keys first, the corners after them; at the unlock corners first, the delegate last.
  EXPECT_EQ(lockdown.Journal().front()["call"], "CGSSetSymbolicHotKeyEnabled");
  EXPECT_EQ(lockdown.Journal().back()["call"], "CoreDockSetExposeCornerAction");

  lockdown.center.setDelegate(nullptr);  // someone else changed it meanwhile
  const size_t lock_entries = lockdown.Journal().size();
  handler.stop();
  EXPECT_TRUE(out.Lines().empty());
  EXPECT_FALSE(fs::exists(file));
  const auto unlock = From(lockdown.Journal(), lock_entries);
  EXPECT_EQ(unlock.at(3)["call"], "CoreDockSetExposeCornerAction");
  EXPECT_EQ(From(lockdown.CornerCalls(), 4), Corners(2, 13, 0, -1));
  EXPECT_EQ(From(lockdown.HotKeyCalls(), expected.size()), Set(expected, true));
  EXPECT_EQ(unlock.back()["args"], (Json{{"delegate", "HostDelegate"}}));
  EXPECT_EQ(lockdown.task.commands().size(), 8U);
}

// What start and stop do in each state of the handler.
TEST(InputHandlerTest, FollowsTheStateTable) {
  const struct {
    size_t commands;
    bool inputDisabled, running, callStart, throws, runningAfter;
  } cases[] = {{4, true, false, true, false, true},   {0, false, false, true, false, false},
               {0, true, false, false, false, false}, {0, false, false, false, false, false},
               {0, true, true, true, false, true},    {0, false, true, true, true, true},
               {4, true, true, false, false, false},  {4, false, true, false, false, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.inputDisabled << c.running << c.callStart);
    Lockdown lockdown;
    InputHandlerSwift handler(c.inputDisabled);
    handler.setServiceRunning(c.running);
    try {
      c.callStart ? handler.start() : handler.stop();
      EXPECT_FALSE(c.throws);
    } catch (const InternalInconsistencyException& e) {
      EXPECT_TRUE(c.throws);
      EXPECT_EQ(e.reason(), "InputHandler service was running though inputDisabled was 0");
    }
    EXPECT_EQ(handler.serviceRunning(), c.runningAfter);
    EXPECT_EQ(lockdown.task.commands().size(), c.commands);
    EXPECT_EQ(lockdown.Journal().empty(), c.commands == 0);
  }
}

// What the lockdown saves and disables with some of the private bundles or
// functions missing, or the Dock preferences in different shapes.
TEST(InputHandlerTest, SavesAndDisablesWhatItCan) {
  const std::string cg = platform::kCoreGraphicsBundlePath, hi = platform::kHIServicesBundlePath;
  const std::string fn = R"("missingFunctions": [")", mb = R"("missingBundles": [")";
  const std::string noProbe = fn + "CGSIsSymbolicHotKeyEnabled", all = Join(Disabled({0, 1, 2}));
  const std::string odd = Lockdown::Xml({{"wvous-tl-corner", "4"},
                                         {"wvous-tr-corner", 7.9},
                                         {"wvous-bl-corner", true},
                                         {"wvous-br-corner", 1LL << 32}});
  const struct {
    std::string functions;            // left out of the private bundles
    std::optional<std::string> dock;  // nullopt: no file
    std::string printed;              // the start of the one line printed, if any
    size_t hotKeyCalls, cornerCalls;
    std::string hotKeys;
    Json corners;
  } cases[] = {
      {noProbe, {}, "", 0, 4, "", {}},
      {fn + "CGSSetSymbolicHotKeyEnabled", {}, "", 0, 4, all, {}},
      {R"("unloadableBundles": [")" + cg, {}, "", 0, 4, "", {}},
      {mb + cg, {}, "Failed to create bundle reference.", 0, 4, "", {}},
      {mb + hi, {}, "", 251, 0, all, {}},
      {fn + "CoreDockSetExposeCornerAction", {}, "Function pointer not found", 251, 0, all, {}},
      {noProbe, "not a plist", "Error reading plist: ", 0, 4, "", {}},
      {noProbe, Lockdown::Xml(Json::array({1})), "", 0, 4, "", {}},
      {noProbe, Lockdown::Xml({{"autohide", true}}), "", 0, 4, "", Dock(0, 0, 0, 0)},
      {noProbe, odd, "", 0, 4, "", Dock(0, 7, 1, 1LL << 32)}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.functions + c.dock.value_or("").substr(0, 300));
    Lockdown lockdown(R"({"symbolicHotKeys": {"disabled": [0, 1, 2]}, "privateFunctions": {)" +
                      c.functions + "\"]}}");
    if (c.dock) Lockdown::WriteRaw(lockdown.dockFile(), *c.dock);
    CapturedStdout out;
    InputHandlerSwift(true).saveUserSettingsAndDisable();
    const auto printed = out.Lines();
    EXPECT_EQ(printed.size(), c.printed.empty() ? 0U : 1U);
    EXPECT_EQ(printed.empty() ? "" : printed[0].substr(0, c.printed.size()), c.printed);
    EXPECT_EQ(lockdown.HotKeyCalls().size(), c.hotKeyCalls);
    EXPECT_EQ(lockdown.CornerCalls().size(), c.cornerCalls);
    Json saved = c.corners;
    saved["HotKeys"] = c.hotKeys;
    EXPECT_EQ(Lockdown::ReadPlist(lockdown.settingsFolder("") / "Settings.plist"), saved);
  }
}

TEST(InputHandlerTest, HotKeyListEntriesThatAreNoIdAreSkipped) {
  const std::pair<const char*, std::vector<int32_t>> cases[] = {
      {"5,,x,+7", {5, 7}},
      {"", {}},
      {"-1,+0,-0,+-3,--4,+", {-1, 0, 0}},
      {"15,27", {15, 27}},
      {" 5,6 ,7", {7}},
      {"99999999999999999999,9", {9}},
      {"0x10,1e2,1.0,٣", {}},
      {"2147483647,2147483648,-2147483648,-2147483649", {2147483647, -2147483648}}};
  for (const auto& [list, enabled] : cases) {
    Lockdown lockdown;
    InputHandlerSwift(true).applySymbolicHotKeys(std::string(list));
    EXPECT_EQ(lockdown.HotKeyCalls(), Set(enabled, true)) << list;
  }
}

TEST(InputHandlerTest, CornerActionOfEachValueType) {
  const std::pair<Json, int32_t> cases[] = {
      {12U, 12},          {2147483648ULL, 0},           {"12", 0}, {2147483648LL, 0},
      {-2147483649LL, 0}, {-2147483648LL, -2147483648}, {3.0, 3},  {2.5, 0},
      {true, 1},          {Json::array({1}), 0}};
  for (const auto& [value, action] : cases) {
    EXPECT_EQ(InputHandlerSwift::cornerActionFor({{"k", value}}, "k"), action) << value;
  }
}

// What the unlock restores from each shape of the settings folder, as a
// killed lockdown may leave it: a complete copy beside the file wins over a
// missing or incomplete file, never over a complete one; every copy goes with
// the file; an unreadable file stays and restores nothing.
TEST(InputHandlerTest, RestoresWhatTheSettingsFolderHolds) {
  const std::string mine = Lockdown::Xml({{"wvous-tl-corner", 6}, {"HotKeys", "64"}});
  const std::string older = Lockdown::Xml({{"wvous-tl-corner", 9}, {"HotKeys", "70"}});
  const std::string big =
      Lockdown::Xml({{"HotKeys", "64"}, {"x", std::string(size_t{1} << 20, 'x')}});
  const std::string notText = Lockdown::Xml({{"HotKeys", 64}, {"wvous-tl-corner", 1}});
  const std::string file = "Settings.plist", wal = ".osxnatives-wal.plist";
  const std::string tmp = ".Settings.plist.a1B2c3";
  const struct {
    std::map<std::string, std::string> files;  // name in the folder -> bytes
    int32_t corner;  // -1: the file is unreadable, stays, restores nothing
    std::vector<int32_t> enabled;
  } cases[] = {{{}, 0, {}},
               {{{file, Lockdown::Xml(Json::array({"HotKeys"}))}}, -1, {}},
               {{{file, big}}, -1, {}},
               {{{file, notText}}, 1, {}},
               {{{wal, mine}}, 6, {64}},
               {{{tmp, mine}}, 6, {64}},
               {{{tmp, mine.substr(0, 80)}}, 0, {}},
               {{{file, "garbage"}, {wal, mine}}, 6, {64}},
               {{{file, Lockdown::Xml(Json::object())}, {wal, mine}}, 6, {64}},
               {{{file, mine}, {wal, older}}, 6, {64}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.files).substr(0, 200));
    Lockdown lockdown;
    const fs::path folder = lockdown.settingsFolder("");
    for (const auto& [name, bytes] : c.files) Lockdown::WriteRaw(folder / name, bytes);
    CapturedStdout out;
    InputHandlerSwift(true).restoreUserSettings();
    const auto printed = out.Lines();
    if (c.corner < 0) {
      EXPECT_EQ(printed.back(), "Failed to read user settings.");
      EXPECT_TRUE(lockdown.Journal().empty());
      EXPECT_EQ(Lockdown::ReadRaw(folder / file), c.files.at(file));
      continue;
    }
    EXPECT_TRUE(printed.empty());
    EXPECT_EQ(lockdown.CornerCalls(), Corners(c.corner, 0, 0, 0));
    EXPECT_EQ(lockdown.HotKeyCalls(), Set(c.enabled, true));
    EXPECT_TRUE(fs::is_empty(folder)) << "every copy is removed with the file";
  }
}

// The next lockdown after a killed one makes the complete copy it left the
// settings file, not the locked desktop it finds; its unlock restores the copy.
TEST(InputHandlerTest, NextLockdownAdoptsTheCopyAKilledLockdownLeft) {
  const Json mine = {{"wvous-tl-corner", 6}, {"HotKeys", "64"}};
  for (const char* copy : {".osxnatives-wal.plist", ".Settings.plist.a1B2c3"}) {
    SCOPED_TRACE(copy);
    Lockdown lockdown(kNoDisabledHotKeys);
    lockdown.WriteDock(Dock(1, 1, 1, 1));
    const fs::path folder = lockdown.settingsFolder("");
    Lockdown::WriteRaw(folder / copy, Lockdown::Xml(mine));
    InputHandlerSwift handler(true);
    CapturedStdout out;
    handler.start();
    EXPECT_EQ(Lockdown::ReadPlist(folder / "Settings.plist"), mine);
    handler.stop();
    EXPECT_EQ(From(lockdown.CornerCalls(), 4), Corners(6, 0, 0, 0));
    EXPECT_EQ(From(lockdown.HotKeyCalls(), 254), Set({64}, true));
    EXPECT_TRUE(fs::is_empty(folder));
  }
}

// No settings folder, or a full disk: the lockdown still disables everything
// and says once, in the system log, that nothing could be saved; the unlock
// then leaves the hot keys disabled.
TEST(InputHandlerTest, SettingsThatCannotBeSavedAreReportedOnce) {
  for (const bool noFolder : {true, false}) {
    SCOPED_TRACE(noFolder);
    Lockdown lockdown(kNoDisabledHotKeys);
    (noFolder ? lockdown.files.failApplicationSupport : lockdown.files.failWrite) = true;
    InputHandlerSwift handler(true);
    CapturedStdout out;
    handler.saveUserSettingsAndDisable();
    EXPECT_EQ(lockdown.HotKeyCalls().size(), 254U);
    EXPECT_EQ(lockdown.CornerCalls(), Corners(0, 0, 0, 0));
    ASSERT_EQ(lockdown.systemLog.lines().size(), 1U);
    if (!noFolder) {
      EXPECT_NE(lockdown.systemLog.lines()[0].find(lockdown.settingsFolder("").string() + ";"),
                std::string::npos);
      continue;
    }
    handler.restoreUserSettings();
    EXPECT_EQ(out.Lines().back(), "Failed to read user settings.");
    EXPECT_EQ(lockdown.HotKeyCalls().size(), 254U) << "and stay disabled";
  }
}

TEST(InputHandlerTest, FileThatCannotBeRemovedIsAppliedAgainNextTime) {
  Lockdown lockdown;
  const auto file = lockdown.settingsFolder("") / "Settings.plist";
  Lockdown::WriteRaw(file, Lockdown::Xml({{"wvous-br-corner", 9}, {"HotKeys", "70"}}));
  lockdown.files.failRemove = true;
  InputHandlerSwift handler(true);
  CapturedStdout out;
  handler.restoreUserSettings();
  handler.restoreUserSettings();
  EXPECT_EQ(out.Lines().size(), 2U);
  EXPECT_TRUE(fs::exists(file));
  EXPECT_EQ(From(lockdown.CornerCalls(), 4), Corners(0, 0, 0, 9));
  EXPECT_EQ(lockdown.HotKeyCalls(), Set({70, 70}, true));
}

// A bundle name is used as one folder name below "Trevant", or not at all.
TEST(InputHandlerTest, BundleNameThatIsNoFolderNameFallsBackToTrevant) {
  testing::TempDir outside;
  const std::pair<std::string, bool> cases[] = {{"a/b", false},
                                                {(outside.path() / "elsewhere").string(), false},
                                                {"..", false},
                                                {".", false},
                                                {std::string("Exam\0Host", 9), false},
                                                {"", false},
                                                {" \t ", false},
                                                {std::string(256, 'x'), false},
                                                {std::string(255, 'x'), true},
                                                {"...", true},
                                                {".Exam Host ", true}};
  for (const auto& [name, usable] : cases) {
    SCOPED_TRACE(name);
    Lockdown lockdown(Json{{"currentApplication", {{"bundleName", name}}}}.dump());
    CapturedStdout out;
    InputHandlerSwift(true).saveUserSettingsAndDisable();
    EXPECT_TRUE(Lockdown::ReadPlist(lockdown.settingsFolder(usable ? name : "") / "Settings.plist")
                    .is_object());
    EXPECT_EQ(out.Lines().size(), usable ? 0U : 1U);
    EXPECT_TRUE(fs::is_empty(outside.path()));
  }
}

TEST(InputHandlerTest, StopWithoutARecordedDelegateClearsIt) {
  Lockdown lockdown;
  InputHandlerSwift handler(true);
  handler.setServiceRunning(true);
  handler.stop();
  EXPECT_EQ(lockdown.Journal("setDelegate:").back()["args"]["delegate"], nullptr);
}

// The task backend the shell commands go through; their effect on a real
// machine is covered end to end by the Java lockdown test.
TEST(ShellCommandsTest, TaskReportsStatusAndReapsTheChild) {
  const struct {
    const char* path;
    const char* script;
    bool launched, bySignal;
    int status;
  } cases[] = {{"/bin/bash", "exit 3", true, false, 3},
               {"/bin/bash", "kill -TERM $$", true, true, SIGTERM},
               {"/no/such/bash", "true", false, false, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.script);
    const auto outcome = platform::LinuxNSTask().launchAndWait(c.path, {"-c", c.script});
    EXPECT_EQ(outcome.launched, c.launched);
    EXPECT_EQ(outcome.terminatedBySignal, c.bySignal);
    EXPECT_EQ(outcome.launched ? outcome.terminationStatus : 0, c.status);
    EXPECT_EQ(outcome.error.find("/no/such/bash") != std::string::npos, !c.launched);
  }
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "every child was waited for";
  EXPECT_EQ(errno, ECHILD);
}

TEST(ShellCommandsTest, ShellThatCannotStartIsLoggedAndTheLockdownGoesOn) {
  Lockdown lockdown;
  lockdown.task.launches = false;
  InputHandlerSwift handler(true);
  handler.start();
  const auto logs = lockdown.host.logs();
  EXPECT_EQ(std::count(logs.begin(), logs.end(),
                       testing::LogLine{"Unable to run shell command: no bash", "ERROR"}),
            4);
  EXPECT_EQ(lockdown.CornerCalls(), Corners(0, 0, 0, 0)) << "the lockdown went on";
}

std::shared_ptr<PlistIO> Init(const std::optional<std::string>& bundle = std::nullopt) {
  return PlistIO::init("Settings.plist", std::string("Trevant"), bundle);
}

TEST(PlistIOTest, ReadsWritesAndLeavesWhatItCannotRead) {
  Lockdown lockdown;
  auto io = Init("Ü (1)~");
  EXPECT_EQ(*io->url(), lockdown.settingsFolder("Ü (1)~") / "Settings.plist");
  EXPECT_EQ(*Init()->url(), lockdown.settingsFolder("") / "Settings.plist");
  EXPECT_FALSE(std::filesystem::exists(*io->url())) << "construction creates no file";
  CapturedStdout out;
  EXPECT_EQ(io->read(), Json::object()) << "a missing file reads as an empty dictionary";
  EXPECT_EQ(Lockdown::ReadPlist(*io->url()), Json::object()) << "and is written as one";
  const Json dict = {{"wvous-br-corner", -7}, {"HotKeys", "0,1"}};
  EXPECT_TRUE(io->write(dict));
  EXPECT_EQ(io->read(), dict);
  const std::string bytes = Lockdown::Xml(dict).substr(0, 120);
  Lockdown::WriteRaw(*io->url(), bytes);
  EXPECT_EQ(io->read(), std::nullopt);
  EXPECT_EQ(Lockdown::ReadRaw(*io->url()), bytes);
  EXPECT_EQ(out.Lines(),
            std::vector<std::string>{
                "ERROR: unable to read .plist file: file://" + lockdown.home().string() +
                "/Library/Application%20Support/Trevant/%C3%9C%20(1)~/Settings.plist"});
}

TEST(PlistIOTest, FailuresAreReportedAndKeepTheOldFile) {
  Lockdown lockdown;
  CapturedStdout out;
  lockdown.files.failCreateDirectory = true;
  EXPECT_EQ(Init(), nullptr);
  lockdown.files.failCreateDirectory = false;
  auto io = Init();
  ASSERT_TRUE(io->write(Json{{"HotKeys", "1"}}));
  lockdown.files.failWrite = true;
  EXPECT_FALSE(io->write(std::nullopt));
  EXPECT_EQ(io->read(), (Json{{"HotKeys", "1"}}));
  io->setUrl(std::nullopt);
  EXPECT_FALSE(io->write(std::nullopt));
  EXPECT_EQ(io->read(), std::nullopt);
  EXPECT_EQ(out.Lines().size(), 4U);
}

// A writer killed at arbitrary moments never leaves a partial file: every
// read sees one complete version.
TEST(PlistIOTest, KilledWriterLeavesACompleteFile) {
  Lockdown lockdown;
  auto io = Init();
  const std::string padding(size_t{256} * 1024, 'x');
  auto version = [&](int n) { return Json{{"version", n}, {"padding", padding}}; };
  ASSERT_TRUE(io->write(version(0)));
  for (int round = 0; round < 5; ++round) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int n = 1;; ++n) {
        io->write(version(n));
        if (n == 2 + round) (void)!::write(ready[1], "w", 1);
      }
    }
    close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    close(ready[0]);
    kill(child, SIGKILL);
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    const Json found = Lockdown::ReadPlist(*io->url());
    ASSERT_TRUE(found.is_object()) << "round " << round;
    EXPECT_EQ(found, version(found["version"])) << "round " << round;
  }
}

}  // namespace
}  // namespace osxnatives
