// The settings folder against what a crash or a hostile folder leaves: real
// files in a temporary home, the library's lockdown in this process or in a
// child killed at chosen moments, and the real osxnatives-recover run
// afterwards on the same simulated desktop (scenario and journal).
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <map>
#include <set>
#include <thread>

#include "controller/security_controller_swift.h"
#include "input/input_handler_swift.h"
#include "platform/file_lock.h"
#include "tests/input/lockdown_support.h"

namespace osxnatives {
namespace {

namespace fs = std::filesystem;
using testing::CapturedStdout;
using testing::Lockdown;

// Runs osxnatives-recover on the desktop of `lockdown` (its home, its
// journal, `scenario` as the starting state) with no-op stand-ins for the
// notification-centre commands. Returns the exit status; the output is kept
// in `output`.
int RunTool(const Lockdown& lockdown, const nlohmann::json& scenario,
            const std::vector<std::string>& args, std::string* output = nullptr) {
  const fs::path work = lockdown.home().parent_path();
  const fs::path bin = work / "bin";
  if (!fs::exists(bin)) {
    fs::create_directories(bin);
    for (const char* tool : {"defaults", "launchctl", "killall", "open"}) {
      Lockdown::WriteRaw(bin / tool, "#!/bin/sh\nexit 0\n");
      fs::permissions(bin / tool, fs::perms::owner_all);
    }
  }
  Lockdown::WriteRaw(work / "tool-scenario.json", scenario.dump());
  const fs::path out = work / "tool-output.txt";
  std::vector<std::string> env = {
      "HOME=" + lockdown.home().string(),
      "PATH=" + bin.string() + ":/usr/bin:/bin",
      "OSXNATIVES_SIM_SCENARIO=" + (work / "tool-scenario.json").string(),
      "OSXNATIVES_SIM_JOURNAL=" + lockdown.journalFile().string(),
  };
  std::vector<std::string> argv = {OSXNATIVES_RECOVER_TOOL};
  argv.insert(argv.end(), args.begin(), args.end());
  auto pointers = [](std::vector<std::string>& strings) {
    std::vector<char*> list;
    list.reserve(strings.size() + 1);
    for (std::string& s : strings) list.push_back(s.data());
    list.push_back(nullptr);
    return list;
  };
  std::vector<char*> argp = pointers(argv);
  std::vector<char*> envp = pointers(env);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argp[0], &actions, nullptr, argp.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    ADD_FAILURE() << "cannot start " << argp[0];
    return -1;
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (output != nullptr) {
    *output = Lockdown::ReadRaw(out).value_or("");
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Planted links are never followed, and a lock file with a second name is
// never written: by a lockdown and unlock, a dry run, or a recovery.
TEST(PlantedFilesTest, NothingOutsideTheFolderIsCreatedOrChanged) {
  const struct {
    const char* name;
    const char* planted;  // in "Trevant"
    bool existingTarget;
    bool hardLink;
  } cases[] = {
      {"LockLinkToFile", platform::FolderLock::kLockFileName, true, false},
      {"LockLinkToNothing", platform::FolderLock::kLockFileName, false, false},
      {"LockHardLink", platform::FolderLock::kLockFileName, true, true},
      {"SettingsLinkToFile", "Settings.plist", true, false},
      {"SettingsLinkToNothing", "Settings.plist", false, false},
      {"RecordLinkToNothing", ".osxnatives-wal.plist", false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Lockdown lockdown;
    SecurityControllerSwift::sharedInputHandler()->setNotificationCenter(lockdown.center);
    const fs::path victim = lockdown.home().parent_path() / "victim";
    const std::string precious = Lockdown::Xml({{"HotKeys", "1"}, {"precious", true}});
    if (c.existingTarget) {
      Lockdown::WriteRaw(victim, precious);
    }
    const fs::path planted = lockdown.settingsFolder("") / c.planted;
    fs::create_directories(planted.parent_path());
    c.hardLink ? fs::create_hard_link(victim, planted) : fs::create_symlink(victim, planted);
    auto untouched = [&](const char* after) {
      EXPECT_EQ(Lockdown::ReadRaw(victim),
                c.existingTarget ? std::optional<std::string>(precious) : std::nullopt)
          << after;
    };
    {
      CapturedStdout quiet;
      SecurityControllerSwift::startInputHandler();
      SecurityControllerSwift::stopInputHandler();
    }
    untouched("lockdown and unlock");
    std::string output;
    const fs::file_type before = fs::symlink_status(planted).type();
    RunTool(lockdown, nlohmann::json::object(), {"--dry-run", "--wait", "0"}, &output);
    untouched("dry run");
    EXPECT_EQ(fs::symlink_status(planted).type(), before) << "a dry run changes nothing\n"
                                                          << output;
    RunTool(lockdown, nlohmann::json::object(), {"--wait", "0"}, &output);
    untouched("recovery");
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
  EXPECT_EQ(RunTool(lockdown, nlohmann::json::object(), {"--wait", "0"}, &output), 1) << output;
  alarm(0);
  const std::vector<std::string> lines = out.Lines();
  ASSERT_GE(lines.size(), 2U);
  EXPECT_EQ(lines.back(), "Failed to read user settings.");
  EXPECT_TRUE(fs::is_fifo(settings));
}

// The desktop's hot keys and corners as the journal leaves them, starting
// from the hot keys in `off` disabled and the corners in `corners`.
struct DesktopState {
  std::set<int32_t> off;
  std::map<int32_t, int32_t> corners;
  bool operator==(const DesktopState&) const = default;
};

DesktopState Replay(DesktopState state, const std::vector<nlohmann::json>& journal) {
  for (const nlohmann::json& entry : journal) {
    const nlohmann::json& args = entry["args"];
    if (entry["call"] == "CGSSetSymbolicHotKeyEnabled") {
      if (args["enabled"].get<bool>()) {
        state.off.erase(args["id"].get<int32_t>());
      } else {
        state.off.insert(args["id"].get<int32_t>());
      }
    } else if (entry["call"] == "CoreDockSetExposeCornerAction") {
      state.corners[args["corner"].get<int32_t>()] = args["action"].get<int32_t>();
    }
  }
  return state;
}

nlohmann::json Scenario(const std::set<int32_t>& off) {
  return {{"currentApplication", {{"bundleName", "ExamHost"}}},
          {"symbolicHotKeys", {{"disabled", off}}}};
}

// A lockdown killed with SIGKILL at any moment, then one run of the tool:
// the user's hot keys and corners are exactly as before. The kill moments
// crowd the first milliseconds, where the settings are being saved.
TEST(CrashLoopTest, EveryKilledLockdownIsRestoredByOneRecovery) {
  constexpr int kRuns = 40;
  constexpr double kSpreadMicros = 40000;
  const DesktopState user{{2, 3, 200}, {{0, 2}, {1, 5}, {2, 0}, {3, 11}}};
  int restored = 0;
  int unfinished = 0;
  for (int run = 0; run < kRuns; ++run) {
    const double share = static_cast<double>(run) / (kRuns - 1);
    const auto delay =
        std::chrono::microseconds(static_cast<int64_t>(kSpreadMicros * share * share));
    SCOPED_TRACE("killed after " + std::to_string(delay.count()) + " us");
    Lockdown lockdown(Scenario(user.off).dump());
    lockdown.WriteDock({{"wvous-tl-corner", 2}, {"wvous-tr-corner", 5}, {"wvous-br-corner", 11}});
    int started[2];
    int finished[2];
    ASSERT_EQ(pipe(started), 0);
    ASSERT_EQ(pipe2(finished, O_NONBLOCK), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      SecurityControllerSwift::sharedInputHandler()->setNotificationCenter(lockdown.center);
      SecurityControllerSwift::sharedDisplayHandler();
      (void)!write(started[1], "s", 1);
      SecurityControllerSwift::startInputHandler();
      (void)!write(finished[1], "f", 1);
      for (;;) pause();  // a browser in its exam, until killed
    }
    close(started[1]);
    close(finished[1]);
    char byte = 0;
    ASSERT_EQ(read(started[0], &byte, 1), 1);
    std::this_thread::sleep_until(std::chrono::steady_clock::now() + delay);
    kill(child, SIGKILL);
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    unfinished += read(finished[0], &byte, 1) == 1 ? 0 : 1;
    close(started[0]);
    close(finished[0]);

    const DesktopState crashed = Replay(user, lockdown.Journal());
    std::string output;
    EXPECT_EQ(RunTool(lockdown, Scenario(crashed.off), {"--wait", "10"}, &output), 0) << output;
    const DesktopState after = Replay(user, lockdown.Journal());
    EXPECT_EQ(after.off, user.off) << output;
    EXPECT_EQ(after.corners, user.corners) << output;
    const fs::path folder = lockdown.settingsFolder("ExamHost");
    EXPECT_TRUE(!fs::exists(folder) || fs::is_empty(folder)) << output;
    restored += after == user ? 1 : 0;
  }
  std::cout << "[ crash loop ] " << restored << "/" << kRuns << " restored; " << unfinished
            << " killed before the lockdown returned\n";
  EXPECT_EQ(restored, kRuns);
}

}  // namespace
}  // namespace osxnatives
