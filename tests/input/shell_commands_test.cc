// The lockdown against real files and real processes: the shell commands run
// through bash with recording stand-ins first on PATH, and a lockdown whose
// process is killed before it unlocks.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <regex>

#include "input/input_handler_swift.h"
#include "platform/ns_task.h"
#include "tests/input/lockdown_support.h"

namespace osxnatives {
namespace {

using testing::Lockdown;
using testing::TempDir;

// Puts recording stand-ins for defaults, launchctl, killall and open first on
// PATH for the lifetime of the object. Each appends its name and arguments to
// `record()`, one field per line, and a line "--" after them.
class StandIns {
 public:
  StandIns() {
    for (const char* name : {"defaults", "launchctl", "killall", "open"}) {
      const auto script = dir_.Write(std::string("bin/") + name,
                                     "#!/bin/sh\n{ printf '%s\\n' \"$(basename \"$0\")\" \"$@\"; "
                                     "echo --; } >> \"" +
                                         record().string() + "\"\n");
      std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    }
    const char* path = std::getenv("PATH");
    old_path_ = path != nullptr ? path : "";
    setenv("PATH", ((dir_.path() / "bin").string() + ":" + old_path_).c_str(), 1);
    // The shell expands "~" from HOME.
    const char* home = std::getenv("HOME");
    old_home_ = home != nullptr ? std::optional<std::string>(home) : std::nullopt;
    setenv("HOME", home_dir().c_str(), 1);
  }
  ~StandIns() {
    setenv("PATH", old_path_.c_str(), 1);
    if (old_home_) {
      setenv("HOME", old_home_->c_str(), 1);
    } else {
      unsetenv("HOME");
    }
  }
  StandIns(const StandIns&) = delete;
  StandIns& operator=(const StandIns&) = delete;

  [[nodiscard]] std::filesystem::path record() const { return dir_.path() / "record.txt"; }
  [[nodiscard]] std::string home_dir() const { return (dir_.path() / "home").string(); }
  // The recorded invocations, each as program name and arguments.
  [[nodiscard]] std::vector<std::vector<std::string>> Calls() const {
    std::vector<std::vector<std::string>> calls(1);
    std::ifstream in(record());
    for (std::string line; std::getline(in, line);) {
      if (line == "--") {
        calls.emplace_back();
      } else {
        calls.back().push_back(line);
      }
    }
    calls.pop_back();
    return calls;
  }

 private:
  TempDir dir_;
  std::string old_path_;
  std::optional<std::string> old_home_;
};

// Runs the real task backend instead of the fixture's recording one.
class RealTask {
 public:
  RealTask() : use_(&platform::Registry<platform::NSTask>::Default()) {}

 private:
  platform::ScopedOverride<platform::NSTask> use_;
};

using Calls = std::vector<std::vector<std::string>>;

TEST(ShellCommandsTest, LockAndUnlockCommandsRunThroughBash) {
  Lockdown lockdown;
  RealTask real;
  StandIns stand_ins;
  InputHandlerSwift handler(true);
  const std::time_t before = std::time(nullptr);
  handler.runLockCommands();
  const std::time_t after = std::time(nullptr);
  const std::string plist =
      stand_ins.home_dir() + "/Library/Preferences/ByHost/com.apple.notificationcenterui";
  Calls calls = stand_ins.Calls();
  ASSERT_EQ(calls.size(), 4U);
  EXPECT_EQ(calls[0], (std::vector<std::string>{"defaults", "-currentHost", "write", plist,
                                                "doNotDisturb", "-boolean", "true"}));
  ASSERT_EQ(calls[1].size(), 7U);
  EXPECT_EQ(std::vector(calls[1].begin(), calls[1].begin() + 6),
            (std::vector<std::string>{"defaults", "-currentHost", "write", plist,
                                      "doNotDisturbDate", "-date"}));
  // One argument: the shell's UTC time, then " +000".
  std::smatch match;
  ASSERT_TRUE(std::regex_match(calls[1][6], match,
                               std::regex(R"((\d{4})-(\d\d)-(\d\d) (\d\d):(\d\d):(\d\d) \+000)")))
      << calls[1][6];
  std::tm when{};
  when.tm_year = std::stoi(match[1]) - 1900;
  when.tm_mon = std::stoi(match[2]) - 1;
  when.tm_mday = std::stoi(match[3]);
  when.tm_hour = std::stoi(match[4]);
  when.tm_min = std::stoi(match[5]);
  when.tm_sec = std::stoi(match[6]);
  const std::time_t stamped = timegm(&when);
  EXPECT_GE(stamped, before);
  EXPECT_LE(stamped, after);
  EXPECT_EQ(calls[2], (std::vector<std::string>{
                          "launchctl", "unload", "-w",
                          "/System/Library/LaunchAgents/com.apple.notificationcenterui.plist"}));
  EXPECT_EQ(calls[3], (std::vector<std::string>{"killall", "NotificationCenter"}));

  handler.runUnlockCommands();
  calls = stand_ins.Calls();
  ASSERT_EQ(calls.size(), 8U);
  EXPECT_EQ(calls[4], (std::vector<std::string>{
                          "launchctl", "load", "-w",
                          "/System/Library/LaunchAgents/com.apple.notificationcenterui.plist"}));
  EXPECT_EQ(calls[5], (std::vector<std::string>{
                          "open", "/System/Library/CoreServices/NotificationCenter.app"}));
  EXPECT_EQ(calls[6], (std::vector<std::string>{"defaults", "-currentHost", "write", plist,
                                                "doNotDisturb", "-boolean", "false"}));
  EXPECT_EQ(calls[7], (std::vector<std::string>{"killall", "NotificationCenter"}));
}

TEST(ShellCommandsTest, TaskReportsStatusAndReapsTheChild) {
  auto& task = platform::Registry<platform::NSTask>::Default();
  platform::TaskOutcome ok = task.launchAndWait("/bin/bash", {"-c", "exit 3"});
  EXPECT_TRUE(ok.launched);
  EXPECT_EQ(ok.terminationStatus, 3);
  EXPECT_FALSE(ok.terminatedBySignal);

  platform::TaskOutcome killed = task.launchAndWait("/bin/bash", {"-c", "kill -TERM $$"});
  EXPECT_TRUE(killed.launched);
  EXPECT_TRUE(killed.terminatedBySignal);
  EXPECT_EQ(killed.terminationStatus, SIGTERM);

  platform::TaskOutcome missing = task.launchAndWait("/no/such/bash", {"-c", "true"});
  EXPECT_FALSE(missing.launched);
  EXPECT_NE(missing.error.find("/no/such/bash"), std::string::npos) << missing.error;

  // Every child was waited for: none is left to reap.
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

TEST(ShellCommandsTest, ShellThatCannotStartIsLoggedAndTheLockdownGoesOn) {
  Lockdown lockdown;
  class MissingShell : public platform::NSTask {
   public:
    platform::TaskOutcome launchAndWait(const std::string& /*path*/,
                                        const std::vector<std::string>& /*args*/) override {
      return {false, 0, false, "cannot launch /bin/bash: No such file or directory"};
    }
  } missing;
  platform::ScopedOverride<platform::NSTask> use(&missing);
  InputHandlerSwift handler(true);
  handler.start();
  EXPECT_TRUE(handler.serviceRunning());
  const auto logs = lockdown.host.logs();
  int errors = 0;
  for (const auto& line : logs) {
    if (line.level == "ERROR") {
      ++errors;
      EXPECT_EQ(line.message,
                "Unable to run shell command: cannot launch /bin/bash: No such file or directory");
    }
  }
  EXPECT_EQ(errors, 4);
  EXPECT_EQ(logs.back().message, "Notification center disabled");
}

// A process locks down and is killed before it unlocks. A fresh lockdown
// and unlock in another process (this one) bring the user's corners and hot
// keys back from the settings file that the killed process left.
TEST(CrashTest, SettingsFileOfAKilledLockdownIsRestoredByTheNextUnlock) {
  Lockdown lockdown(R"({"currentApplication": {"bundleName": "ExamHost"},
                        "symbolicHotKeys": {"disabled": [0, 1, 2, 3]}})");
  lockdown.WriteDock({{"wvous-tl-corner", 2}, {"wvous-tr-corner", 10}, {"wvous-br-corner", 4}});
  RealTask real;
  StandIns stand_ins;
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(ready[0]);
    InputHandlerSwift handler(true);
    handler.start();
    (void)!write(ready[1], "L", 1);
    for (;;) {
      pause();
    }
  }
  close(ready[1]);
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1) << "the child did not lock down";
  close(ready[0]);
  ASSERT_EQ(kill(child, SIGKILL), 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

  const auto file = lockdown.settingsFolder("ExamHost") / "Settings.plist";
  const nlohmann::json saved = Lockdown::ReadPlist(file);
  ASSERT_TRUE(saved.is_object()) << "the killed lockdown left its settings file";
  std::vector<int32_t> disabled_by_child;
  for (int32_t id = 4; id < 256; ++id) {
    if (id != 15 && id != 27) {
      disabled_by_child.push_back(id);
    }
  }
  // What the desktop looks like after the crash: corners off, hot keys off.
  lockdown.WriteDock({{"wvous-tl-corner", 0}, {"wvous-tr-corner", 0}, {"wvous-br-corner", 0}});
  Lockdown after_crash(R"({"currentApplication": {"bundleName": "ExamHost"},
                           "symbolicHotKeys": {"disabled": [0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10,
                              11, 12, 13, 14, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 28]}})");
  // The fresh process uses the same home folder.
  std::filesystem::copy(
      lockdown.home(), after_crash.home(),
      std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
  RealTask real_after_crash;
  InputHandlerSwift fresh(true);
  fresh.start();
  EXPECT_EQ(Lockdown::ReadPlist(after_crash.settingsFolder("ExamHost") / "Settings.plist"), saved)
      << "the second lockdown keeps the first one's file";
  const size_t lock_hot_keys = after_crash.HotKeyCalls().size();
  fresh.stop();

  const auto corners = after_crash.CornerCalls();
  ASSERT_EQ(corners.size(), 8U);
  EXPECT_EQ(std::vector(corners.begin() + 4, corners.end()),
            (std::vector<std::pair<int32_t, int32_t>>{{2, 0}, {10, 1}, {0, 2}, {4, 3}}));
  const auto hot_keys = after_crash.HotKeyCalls();
  std::vector<std::pair<int32_t, bool>> restored(
      hot_keys.begin() + static_cast<long>(lock_hot_keys), hot_keys.end());
  ASSERT_EQ(restored.size(), disabled_by_child.size());
  for (size_t i = 0; i < restored.size(); ++i) {
    EXPECT_EQ(restored[i], std::make_pair(disabled_by_child[i], true));
  }
  for (int32_t id = 0; id < 4; ++id) {
    EXPECT_FALSE(after_crash.bundles.hotKeyEnabled(id)) << id << " was off before the exam";
  }
  EXPECT_TRUE(after_crash.bundles.hotKeyEnabled(100));
  EXPECT_FALSE(std::filesystem::exists(after_crash.settingsFolder("ExamHost") / "Settings.plist"));
  // Both processes ran their commands through the stand-ins: 4 + 4 + 4.
  EXPECT_EQ(stand_ins.Calls().size(), 12U);
}

}  // namespace
}  // namespace osxnatives
