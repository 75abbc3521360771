// Listing, pausing, resuming and killing real processes: children this test
// starts itself. Every signal goes to one of those children by its recorded
// pid (or to a pid that cannot exist); nothing else is ever signalled.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <thread>

#include "controller/security_controller_swift.h"
#include "platform/posix_process.h"
#include "platform/sim/window_list.h"
#include "platform/sim/workspace.h"
#include "platform/sysctl.h"
#include "process/process_controller_swift.h"
#include "tests/support/recording_host.h"
#include "tests/support/sim_desktop.h"

namespace osxnatives {
namespace {

using json = nlohmann::json;

// Waits for the next stop, continue or end of `pid` and returns its status.
int NextChange(pid_t pid) {
  int status = 0;
  EXPECT_EQ(waitpid(pid, &status, WUNTRACED | WCONTINUED), pid);
  return status;
}

TEST(RealProcessTest, ChildrenAreListedPausedResumedAndKilled) {
  // Two `sleep` children under a name with blanks and parentheses; the first
  // owns a window and the test process is the host "TestHost".
  testing::TempDir dir;
  const std::string sleep = std::filesystem::canonical("/bin/sleep").string();
  std::string odd = (dir.path() / "a) b (c").string(), seconds = "600";
  std::filesystem::create_symlink(sleep, odd);
  char* argv[] = {odd.data(), seconds.data(), nullptr};
  std::vector<pid_t> children;
  struct Reaper {
    std::vector<pid_t>& children;
    ~Reaper() {
      for (pid_t pid : children) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
      }
    }
  } reaper{children};
  for (pid_t pid = 0; children.size() < 2; children.push_back(pid)) {
    ASSERT_EQ(posix_spawn(&pid, odd.c_str(), nullptr, nullptr, argv, environ), 0);
  }
  testing::TestDesktop desktop(
      R"({"currentApplication": {"localizedName": "TestHost"}, "windows": [{"ownerPid": )" +
      std::to_string(children[0]) + "}]}");
  platform::sim::SimWorkspace workspace(desktop.desktop(), getpid());
  platform::sim::SimWindowList windows(desktop.desktop(), getpid());
  platform::ScopedOverride<platform::NSWorkspace> use_workspace(&workspace);
  platform::ScopedOverride<platform::CGWindowList> use_windows(&windows);
  testing::ScopedRecordingHost host;
  SecurityControllerSwift controller;

  json processes = json::array();
  const json listing = json::parse(controller.getAllProcesses(""));
  for (const auto& entry : listing["processes"]) {
    EXPECT_NE(entry["pid"], std::to_string(getpid()));
    for (size_t i = 0; i < children.size(); ++i) {
      if (entry["pid"] != std::to_string(children[i])) continue;
      EXPECT_EQ(entry, (json{{"pid", std::to_string(children[i])},
                             {"processName", "a) b (c"},
                             {"processPath", sleep},
                             {"parentProcessName", "TestHost"},
                             {"processType", i == 0 ? "WINDOW" : "NONWINDOW"},
                             {"state", "ACTIVE"}}));
      processes.push_back(entry);
    }
  }
  ASSERT_EQ(processes.size(), 2U);
  EXPECT_TRUE(host.logs().empty());

  // No pid_max reaches this id: it cannot be signalled and comes back.
  const json ghost = {{"pid", "2147483647"}, {"processName", "ghost"}};
  processes.push_back(ghost);
  const std::string document = json{{"processes", processes}}.dump();
  json failed = {{"processes", {ghost}}};
  failed["processes"][0].update({{"processType", "WINDOW"}, {"state", "ACTIVE"}});
  EXPECT_EQ(json::parse(controller.pauseAll(document)), failed);
  for (pid_t pid : children) {
    const int status = NextChange(pid);
    EXPECT_TRUE(WIFSTOPPED(status) && WSTOPSIG(status) == SIGSTOP);
  }
  controller.resumeAll(document);
  for (pid_t pid : children) EXPECT_TRUE(WIFCONTINUED(NextChange(pid)));
  EXPECT_EQ(json::parse(controller.killAll(document)), failed);
  for (pid_t pid : children) {
    const int status = NextChange(pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  }
  children.clear();  // reaped above
  const std::string names = "a) b (c, a) b (c, ghost, ";
  EXPECT_EQ(host.logs(),
            testing::InfoLines({"Pausing processes: " + names, "Resuming processes: " + names,
                                "Killing processes: " + names}));
}

// A thread id is a valid target for kill() and reaches its whole process. The
// canary is a child of this test with a second thread: it names that thread
// in a document and must survive pausing and killing it, unstopped.
TEST(RealProcessTest, ThreadsOfTheHostAreNeverSignalled) {
  for (const bool pause : {true, false}) {
    SCOPED_TRACE(pause ? "pause" : "kill");
    const pid_t canary = fork();
    ASSERT_GE(canary, 0);
    if (canary == 0) {
      int parked[2], tid_ready[2];
      if (pipe(parked) != 0 || pipe(tid_ready) != 0) _exit(3);
      std::thread thread([&] {
        const auto own = static_cast<pid_t>(syscall(SYS_gettid));
        (void)!write(tid_ready[1], &own, sizeof own);
        char byte = 0;
        (void)!read(parked[0], &byte, 1);
      });
      pid_t tid = 0;
      if (read(tid_ready[0], &tid, sizeof tid) != sizeof tid || tid == getpid()) _exit(3);
      const std::string doc = R"({"processes": [{"pid": ")" + std::to_string(tid) + R"("}]})";
      const std::optional<ProcessList> failed =
          pause ? ProcessControllerSwift().pauseAll(doc) : ProcessControllerSwift().killAll(doc);
      (void)!write(parked[1], "x", 1);
      thread.join();
      _exit(failed && failed->size() == 1 && (*failed)[0]->processID == tid ? 0 : 4);
    }
    int status = 0;
    ASSERT_EQ(waitpid(canary, &status, WUNTRACED), canary);
    if (WIFSTOPPED(status)) {
      kill(canary, SIGKILL);
      waitpid(canary, nullptr, 0);
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  }
}

TEST(RealProcessTest, PlatformRefusesGroupIdsAndBuffersTooSmall) {
  // Signal 0 only checks for existence, so even a broken guard sends nothing.
  auto& process = platform::Get<platform::PosixProcess>();
  for (int32_t pid : {0, -1, -getpgrp()}) {
    errno = 0;
    EXPECT_EQ(process.kill(pid, 0), -1) << pid;
    EXPECT_EQ(errno, EINVAL) << pid;
  }
  EXPECT_EQ(process.kill(getpid(), 0), 0);
  EXPECT_EQ(process.getpid(), getpid());
  // This process and its parent (the test runner) live throughout, so a
  // buffer of one record is always too small, however the table changes.
  std::vector<platform::KinfoProc> table(2);
  table[1].p_pid = -77;
  size_t small = 1;
  EXPECT_EQ(platform::Get<platform::Sysctl>().KernProcAll(table.data(), &small), ENOMEM);
  EXPECT_EQ(table[1].p_pid, -77) << "wrote past the buffer";
}

}  // namespace
}  // namespace osxnatives
