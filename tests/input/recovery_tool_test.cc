// The settings folder against what a crash or a hostile folder leaves: real
// files in a temporary home, the library's lockdown in this process or in a
// child killed at chosen moments, and the real osxnatives-recover run
// afterwards on the same simulated desktop (scenario and journal).
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "controller/security_controller_swift.h"
#include "input/input_handler_swift.h"
#include "platform/file_lock.h"
#include "tests/input/lockdown_support.h"
#include "tests/support/fault_injection.h"
#include "tools/recovery.h"

namespace osxnatives {
namespace {

namespace fs = std::filesystem;
using testing::CapturedStdout;
using testing::DesktopState;
using testing::Lockdown;
using testing::Replay;
using testing::Scenario;
using Json = nlohmann::json;

// Runs osxnatives-recover on the desktop of `lockdown` from the state `scenario`, with no-op
// notification-centre commands. Returns the exit status; the output goes to `output`.
int RunTool(const Lockdown& lockdown, const Json& scenario, const std::vector<std::string>& args,
            std::string* output = nullptr) {
  const fs::path work = lockdown.home().parent_path();
  for (const char* tool : {"defaults", "launchctl", "killall", "open"}) {
    Lockdown::WriteRaw(work / "bin" / tool, "#!/bin/sh\nexit 0\n");
    fs::permissions(work / "bin" / tool, fs::perms::owner_all);
  }
  Lockdown::WriteRaw(work / "tool-scenario.json", scenario.dump());
  std::string command =
      "env -i 'HOME=" + lockdown.home().string() + "' 'PATH=" + (work / "bin").string() +
      ":/usr/bin:/bin' 'OSXNATIVES_SIM_SCENARIO=" + (work / "tool-scenario.json").string() +
      "' 'OSXNATIVES_SIM_JOURNAL=" + (work / "journal.jsonl").string() +
      "' " OSXNATIVES_RECOVER_TOOL;
  for (const std::string& arg : args) command += " '" + arg + "'";
  FILE* pipe = popen((command + " </dev/null 2>&1").c_str(), "r");
  std::string text;
  for (int c = fgetc(pipe); c != EOF; c = fgetc(pipe)) text.push_back(static_cast<char>(c));
  const int status = pclose(pipe);
  if (output != nullptr) *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Planted links are never followed, and a lock file with a second name is
// never written: by a lockdown and unlock, a dry run, or a recovery.
TEST(PlantedFilesTest, NothingOutsideTheFolderIsCreatedOrChanged) {
  const char* lock = platform::FolderLock::kLockFileName;
  const struct {
    const char* planted;  // in "Trevant"
    bool existingTarget, hardLink;
  } cases[] = {{lock, true, false},
               {lock, false, false},
               {lock, true, true},
               {"Settings.plist", true, false},
               {"Settings.plist", false, false},
               {".osxnatives-wal.plist", false, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.planted << c.existingTarget << c.hardLink);
    Lockdown lockdown;
    SecurityControllerSwift::sharedInputHandler()->setNotificationCenter(lockdown.center);
    const fs::path victim = lockdown.home().parent_path() / "victim";
    const std::optional<std::string> precious =
        c.existingTarget ? std::optional(Lockdown::Xml({{"HotKeys", "1"}})) : std::nullopt;
    if (precious) Lockdown::WriteRaw(victim, *precious);
    const fs::path planted = lockdown.settingsFolder("") / c.planted;
    fs::create_directories(planted.parent_path());
    c.hardLink ? fs::create_hard_link(victim, planted) : fs::create_symlink(victim, planted);
    {
      CapturedStdout quiet;
      SecurityControllerSwift::startInputHandler();
      SecurityControllerSwift::stopInputHandler();
    }
    EXPECT_EQ(Lockdown::ReadRaw(victim), precious) << "lockdown and unlock";
    std::string output;
    const fs::file_type before = fs::symlink_status(planted).type();
    RunTool(lockdown, Json::object(), {"--dry-run", "--wait", "0"}, &output);
    EXPECT_EQ(fs::symlink_status(planted).type(), before) << "a dry run changes nothing\n"
                                                          << output;
    RunTool(lockdown, Json::object(), {"--wait", "0"}, &output);
    EXPECT_EQ(Lockdown::ReadRaw(victim), precious) << "recovery\n" << output;
  }
}

// A FIFO where the Dock preferences or the settings file should be never
// blocks a lockdown, an unlock or the tool: a blocked test ends at the alarm.
TEST(PlantedFilesTest, FifosAreUnreadableNotBlocking) {
  Lockdown lockdown(R"({"symbolicHotKeys": {"disabled": []}})");
  const fs::path settings = lockdown.settingsFolder("") / "Settings.plist";
  for (const fs::path& fifo : {lockdown.dockFile(), settings}) {
    fs::create_directories(fifo.parent_path());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  }
  alarm(30);
  InputHandlerSwift handler(true);
  CapturedStdout out;
  handler.saveUserSettingsAndDisable();
  handler.restoreUserSettings();
  std::string output;
  EXPECT_EQ(RunTool(lockdown, Json::object(), {"--wait", "0"}, &output), 1) << output;
  alarm(0);
  EXPECT_EQ(out.Lines().back(), "Failed to read user settings.");
  EXPECT_TRUE(fs::is_fifo(settings));
}

// The tool reads a settings file as the unlock does and leaves an unreadable
// one where it is.
TEST(RecoveryToolTest, BadSettingsFiles) {
  const std::string odd = Lockdown::Xml({{"wvous-tl-corner", "2"},
                                         {"wvous-tr-corner", 1LL << 32},
                                         {"wvous-br-corner", -3},
                                         {"HotKeys", ""}});
  const std::string list = Lockdown::Xml({{"HotKeys", "5,,x,+7"}});
  const struct {
    std::string file;
    int status;
    std::vector<std::pair<int32_t, int32_t>> corners;  // empty: nothing restored
    std::vector<std::pair<int32_t, bool>> hotKeys;
  } cases[] = {{"this is not a property list", 1, {}, {}},
               {Lockdown::Xml(Json::array({1})), 1, {}, {}},
               {odd, 0, {{0, 0}, {0, 1}, {0, 2}, {-3, 3}}, {}},
               {list, 0, {{0, 0}, {0, 1}, {0, 2}, {0, 3}}, {{5, true}, {7, true}}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file.substr(0, 300));
    Lockdown lockdown;
    const fs::path file = lockdown.settingsFolder("ExamHost") / "Settings.plist";
    Lockdown::WriteRaw(file, c.file);
    std::string output;
    EXPECT_EQ(RunTool(lockdown, Json::object(), {}, &output), c.status) << output;
    EXPECT_EQ(lockdown.CornerCalls(), c.corners) << output;
    EXPECT_EQ(lockdown.HotKeyCalls(), c.hotKeys);
    EXPECT_EQ(Lockdown::ReadRaw(file), c.corners.empty() ? std::optional(c.file) : std::nullopt);
  }
}

// Bad usage is status 2; it, --help, --version and another host's name touch nothing.
TEST(RecoveryToolTest, BadUsageTouchesNothing) {
  Lockdown lockdown;
  const fs::path file = lockdown.settingsFolder("ExamHost") / "Settings.plist";
  const std::string saved = Lockdown::Xml({{"wvous-tl-corner", 6}, {"HotKeys", "9"}});
  Lockdown::WriteRaw(file, saved);
  const std::pair<std::vector<std::string>, int> cases[] = {
      {{"--frobnicate"}, 2},          {{"--bundle-name"}, 2}, {{"--bundle-name", "../ExamHost"}, 2},
      {{"--wait", "soon"}, 2},        {{"--help"}, 0},        {{"--version"}, 0},
      {{"--bundle-name", "Other"}, 0}};
  for (const auto& [args, status] : cases) {
    std::string output;
    EXPECT_EQ(RunTool(lockdown, Json::object(), args, &output), status) << output;
  }
  EXPECT_TRUE(lockdown.Journal().empty());
  EXPECT_EQ(Lockdown::ReadRaw(file), saved);
}

// The phases a SIGKILL interrupts, and where each one starts.
enum class Phase { kLockdown, kUnlock, kRecovery };

// Runs `phase` on `lockdown`'s desktop in a child that ends with SIGKILL at
// step `killAt` (a file call, a hot key or a corner change; 0: never) or,
// when it gets through, right after it, as a browser killed mid-exam would.
// Returns the steps the child took when it got through, else -1.
int KillDuring(Phase phase, Lockdown& lockdown, int killAt) {
  int done[2];
  if (pipe(done) != 0) return -2;
  const pid_t child = fork();
  if (child == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    SecurityControllerSwift::sharedInputHandler()->setNotificationCenter(lockdown.center);
    if (phase == Phase::kUnlock) SecurityControllerSwift::startInputHandler();
    testing::KillPoint kill(killAt);
    testing::FaultyFileCalls calls(testing::Fault::kIoError, 0, {}, &kill);
    testing::KillingBundles bundles(lockdown.bundles, kill);
    platform::ScopedOverride<platform::PosixFileCalls> use_calls(&calls);
    platform::ScopedOverride<platform::CFBundles> use_bundles(&bundles);
    if (phase == Phase::kLockdown) SecurityControllerSwift::startInputHandler();
    if (phase == Phase::kUnlock) SecurityControllerSwift::stopInputHandler();
    if (phase == Phase::kRecovery) {
      recover::ConsoleHost host;
      ScopedHost installed(&host);
      recover::Run(recover::Options{});
    }
    const int steps = kill.steps();
    (void)!write(done[1], &steps, sizeof steps);
    for (;;) pause();
  }
  close(done[1]);
  int steps = -1;
  if (read(done[0], &steps, sizeof steps) != sizeof steps) steps = -1;
  close(done[0]);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  return steps;
}

// SIGKILL at steps spread evenly over the lockdown, the unlock (restoring
// corners, restoring hot keys, removing the files) and the recovery tool's
// own restore, of a settings file with its write-ahead record or of the
// record alone (a lockdown killed before its settings file); then one run of
// the tool brings the user's hot keys and corners back exactly and leaves no
// file. OSXNATIVES_KILLS_PER_RUN sets the kills per run ("all": one at
// every step; the soak in bench/ asks for that).
TEST(KillLoopTest, OneRecoveryRestoresAfterAKillAnywhere) {
  const char* variable = std::getenv("OSXNATIVES_KILLS_PER_RUN");
  const std::string asked = variable != nullptr ? variable : "";
  const int perRun = asked == "all" ? 0 : asked.empty() ? 8 : std::max(2, std::atoi(asked.c_str()));
  // Few hot keys on, so that most steps are file calls.
  DesktopState user = {{-1, 2}, {-2, 5}, {-3, 0}, {-4, 11}};
  for (int32_t id = 0; id < 256; ++id) user[id] = id < 2 || id == 15 || id == 27 || id == 64;
  const struct {
    Phase phase;
    bool recordOnly;
  } runs[] = {{Phase::kLockdown, false},
              {Phase::kUnlock, false},
              {Phase::kRecovery, false},
              {Phase::kRecovery, true}};
  auto prepare = [&](Lockdown& lockdown, Phase phase, bool recordOnly) {
    lockdown.WriteDock({{"wvous-tl-corner", 2}, {"wvous-tr-corner", 5}, {"wvous-br-corner", 11}});
    if (phase == Phase::kRecovery) {  // what a lockdown killed mid-exam leaves
      testing::CapturedStdout quiet;
      InputHandlerSwift(true).start();
      if (recordOnly) fs::remove(lockdown.settingsFolder("ExamHost") / "Settings.plist");
    }
  };
  std::map<Phase, int> kills;
  int restored = 0;
  for (const auto& run : runs) {
    const char* name = run.phase == Phase::kLockdown ? "lockdown"
                       : run.phase == Phase::kUnlock ? "unlock"
                                                     : "recovery";
    int steps = 0;
    {
      Lockdown lockdown(Scenario(user).dump());
      prepare(lockdown, run.phase, run.recordOnly);
      steps = KillDuring(run.phase, lockdown, 0);
      ASSERT_GT(steps, 0) << name;
    }
    // From the first step to just after the last, evenly.
    const int count = perRun == 0 ? steps + 1 : perRun;
    for (int i = 0; i < count; ++i) {
      const int killAt = 1 + static_cast<int>(static_cast<int64_t>(i) * steps / (count - 1));
      SCOPED_TRACE(std::string(name) + (run.recordOnly ? " of the record" : "") +
                   " killed at step " + std::to_string(killAt) + " of " + std::to_string(steps));
      Lockdown lockdown(Scenario(user).dump());
      prepare(lockdown, run.phase, run.recordOnly);
      ASSERT_EQ(KillDuring(run.phase, lockdown, killAt), killAt > steps ? steps : -1);
      ++kills[run.phase];
      const Json crashed = Scenario(Replay(user, lockdown.Journal()));
      std::string output;
      EXPECT_EQ(RunTool(lockdown, crashed, {"--wait", "10"}, &output), 0) << output;
      const bool back = Replay(user, lockdown.Journal()) == user;
      EXPECT_TRUE(back) << output;
      const fs::path folder = lockdown.settingsFolder("ExamHost");
      EXPECT_TRUE(!fs::exists(folder) || fs::is_empty(folder)) << output;
      restored += back ? 1 : 0;
    }
  }
  const int total = kills[Phase::kLockdown] + kills[Phase::kUnlock] + kills[Phase::kRecovery];
  std::printf("kills per phase: lockdown %d, unlock %d, recovery %d\n", kills[Phase::kLockdown],
              kills[Phase::kUnlock], kills[Phase::kRecovery]);
  std::printf("kills: %d, restored: %d, lost: %d\n", total, restored, total - restored);
}

}  // namespace
}  // namespace osxnatives
