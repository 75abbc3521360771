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
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "controller/security_controller_swift.h"
#include "platform/posix_process.h"
#include "platform/sim/window_list.h"
#include "platform/sim/workspace.h"
#include "platform/sysctl.h"
#include "process/process_controller_swift.h"
#include "tests/support/recording_host.h"
#include "tests/support/sim_desktop.h"
#include "tests/support/temp_dir.h"

namespace osxnatives {
namespace {

using platform::ScopedOverride;
using testing::LogLine;

// No pid_max can reach this id, so a signal to it always fails.
constexpr char kImpossiblePid[] = "2147483647";

// The state letter of /proc/<pid>/stat.
char StateOf(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(in, line);
  const size_t close = line.rfind(')');
  return close == std::string::npos || close + 2 >= line.size() ? '?' : line[close + 2];
}

// Three `sleep` children, the last under a name with blanks and parentheses;
// the first owns a window and the test process is the host "TestHost".
class RealProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sleep_path_ = std::filesystem::canonical("/bin/sleep").string();
    const std::string odd = (temp_.path() / "a) b (c").string();
    std::filesystem::create_symlink(sleep_path_, odd);
    for (const std::string& path : {sleep_path_, sleep_path_, odd}) {
      std::string argv0 = "sleep";
      std::string seconds = "600";
      char* argv[] = {argv0.data(), seconds.data(), nullptr};
      pid_t pid = 0;
      ASSERT_EQ(posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ), 0);
      children_.push_back(pid);
    }
    desktop_ = std::make_unique<testing::TestDesktop>(
        R"({"currentApplication": {"localizedName": "TestHost"}, "windows": [{"ownerPid": )" +
        std::to_string(children_[0]) + "}]}");
    workspace_ = std::make_unique<platform::sim::SimWorkspace>(desktop_->desktop(), getpid());
    windows_ = std::make_unique<platform::sim::SimWindowList>(desktop_->desktop(), getpid());
    use_workspace_ = std::make_unique<ScopedOverride<platform::NSWorkspace>>(workspace_.get());
    use_windows_ = std::make_unique<ScopedOverride<platform::CGWindowList>>(windows_.get());
  }

  void TearDown() override {
    for (pid_t pid : children_) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }

  // Waits for the next stop, continue or end of `pid` and returns its status.
  static int NextChange(pid_t pid) {
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, WUNTRACED | WCONTINUED), pid);
    return status;
  }

  // The children's entries of a listing, every member kept.
  nlohmann::json ChildrenOf(const std::string& listing) const {
    nlohmann::json processes = nlohmann::json::array();
    const nlohmann::json doc = nlohmann::json::parse(listing);
    for (const auto& entry : doc["processes"]) {
      for (pid_t pid : children_) {
        if (entry["pid"] == std::to_string(pid)) {
          processes.push_back(entry);
        }
      }
    }
    return processes;
  }

  testing::ScopedRecordingHost host_;
  testing::TempDir temp_;
  std::string sleep_path_;
  std::vector<pid_t> children_;
  std::unique_ptr<testing::TestDesktop> desktop_;
  std::unique_ptr<platform::sim::SimWorkspace> workspace_;
  std::unique_ptr<platform::sim::SimWindowList> windows_;
  std::unique_ptr<ScopedOverride<platform::NSWorkspace>> use_workspace_;
  std::unique_ptr<ScopedOverride<platform::CGWindowList>> use_windows_;
};

TEST_F(RealProcessTest, ListingShowsChildrenAndLeavesTheHostOut) {
  SecurityControllerSwift controller;
  const std::string text = controller.getAllProcesses("");
  const nlohmann::json children = ChildrenOf(text);
  ASSERT_EQ(children.size(), 3U) << text.substr(0, 2000);
  for (size_t i = 0; i < children.size(); ++i) {
    EXPECT_EQ(children[i]["processName"], i == 2 ? "a) b (c" : "sleep");
    EXPECT_EQ(children[i]["processPath"], sleep_path_);
    EXPECT_EQ(children[i]["parentProcessName"], "TestHost");
    EXPECT_EQ(children[i]["processType"], i == 0 ? "WINDOW" : "NONWINDOW");
    EXPECT_EQ(children[i]["state"], "ACTIVE");
  }
  const nlohmann::json listing = nlohmann::json::parse(text);
  for (const auto& entry : listing["processes"]) {
    EXPECT_NE(entry["pid"], std::to_string(getpid()));
    EXPECT_TRUE(entry.contains("processName") && entry.contains("parentProcessName"));
  }
  EXPECT_TRUE(host_.logs().empty());
  EXPECT_EQ(controller.getProcessPath(std::to_string(children_[0])), sleep_path_);
  EXPECT_EQ(controller.getProcessPath(kImpossiblePid), "");
}

TEST_F(RealProcessTest, ListedDocumentPausesResumesAndKillsTheChildren) {
  SecurityControllerSwift controller;
  nlohmann::json processes = ChildrenOf(controller.getAllProcesses(""));
  ASSERT_EQ(processes.size(), 3U);
  // A process that cannot be signalled comes back as a document.
  const nlohmann::json ghost = {{"pid", kImpossiblePid}, {"processName", "ghost"}};
  processes.push_back(ghost);
  const std::string document = nlohmann::json{{"processes", processes}}.dump();
  nlohmann::json failed = ghost;
  failed["processType"] = "WINDOW";
  failed["state"] = "ACTIVE";
  const nlohmann::json failed_document = {{"processes", {failed}}};

  EXPECT_EQ(nlohmann::json::parse(controller.pauseAll(document)), failed_document);
  for (pid_t pid : children_) {
    const int status = NextChange(pid);
    EXPECT_TRUE(WIFSTOPPED(status) && WSTOPSIG(status) == SIGSTOP);
    EXPECT_EQ(StateOf(pid), 'T');
  }
  controller.resumeAll(document);
  for (pid_t pid : children_) {
    EXPECT_TRUE(WIFCONTINUED(NextChange(pid)));
  }
  EXPECT_EQ(nlohmann::json::parse(controller.killAll(document)), failed_document);
  for (pid_t pid : children_) {
    const int status = NextChange(pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  }
  children_.clear();  // reaped above

  const std::string names = "sleep, sleep, a) b (c, ghost, ";
  EXPECT_EQ(host_.logs(), (std::vector<LogLine>{{"Pausing processes: " + names, "INFO"},
                                                {"Resuming processes: " + names, "INFO"},
                                                {"Killing processes: " + names, "INFO"}}));
}

// A thread id is a valid target for kill() and reaches its whole process. The
// canary is a child of this test with a second thread: it names that thread
// in a document and must survive pausing and killing it, unstopped.
TEST(RealOwnProcessTest, ThreadsOfTheHostAreNeverSignalled) {
  const struct {
    const char* name;
    std::optional<ProcessList> (*run)(const std::string&);
  } operations[] = {
      {"pause", [](const std::string& doc) { return ProcessControllerSwift().pauseAll(doc); }},
      {"kill", [](const std::string& doc) { return ProcessControllerSwift().killAll(doc); }},
  };
  for (const auto& operation : operations) {
    SCOPED_TRACE(operation.name);
    const pid_t canary = fork();
    ASSERT_GE(canary, 0);
    if (canary == 0) {
      int parked[2];
      if (pipe(parked) != 0) _exit(3);
      pid_t tid = 0;
      int tid_ready[2];
      if (pipe(tid_ready) != 0) _exit(3);
      std::thread thread([&] {
        const auto own = static_cast<pid_t>(syscall(SYS_gettid));
        (void)!write(tid_ready[1], &own, sizeof own);
        char byte = 0;
        (void)!read(parked[0], &byte, 1);
      });
      if (read(tid_ready[0], &tid, sizeof tid) != sizeof tid || tid == getpid()) _exit(3);
      const std::string doc = R"({"processes": [{"pid": ")" + std::to_string(tid) +
                              R"(", "processName": "own thread"}]})";
      const std::optional<ProcessList> failed = operation.run(doc);
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
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << (WIFSIGNALED(status)  ? "signalled " + std::to_string(WTERMSIG(status))
            : WIFSTOPPED(status) ? std::string("stopped")
                                 : "status " + std::to_string(status));
  }
}

TEST(RealSysctlTest, TooSmallBufferIsReportedNotOverrun) {
  // This process and its parent (the test runner) live throughout, so a
  // buffer of one record is always too small, however the table changes.
  auto& sysctl = platform::Get<platform::Sysctl>();
  std::vector<platform::KinfoProc> table(2);
  table[1].p_pid = -77;
  size_t small = 1;
  EXPECT_EQ(sysctl.KernProcAll(table.data(), &small), ENOMEM);
  EXPECT_EQ(table[1].p_pid, -77) << "wrote past the buffer";
}

TEST(RealPosixProcessTest, RefusesIdsThatNameGroups) {
  // Signal 0 only checks for existence, so even a broken guard sends nothing.
  auto& process = platform::Get<platform::PosixProcess>();
  for (int32_t pid : {0, -1, -getpgrp()}) {
    errno = 0;
    EXPECT_EQ(process.kill(pid, 0), -1) << pid;
    EXPECT_EQ(errno, EINVAL) << pid;
  }
  EXPECT_EQ(process.kill(getpid(), 0), 0);
  EXPECT_EQ(process.getpid(), getpid());
}

}  // namespace
}  // namespace osxnatives
