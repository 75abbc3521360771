// Listing, pausing, resuming and killing real processes: children this test
// starts itself. Every signal goes to one of those children by its recorded
// pid (or to a pid that cannot exist); nothing else is ever signalled.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "controller/security_controller_swift.h"
#include "platform/posix_process.h"
#include "platform/sim/window_list.h"
#include "platform/sim/workspace.h"
#include "platform/sysctl.h"
#include "tests/support/recording_host.h"
#include "tests/support/sim_desktop.h"
#include "tests/support/temp_dir.h"

namespace osxnatives {
namespace {

using platform::ScopedOverride;
using testing::LogLine;

// No pid_max can reach this id, so a signal to it always fails.
constexpr char kImpossiblePid[] = "2147483647";

// Starts `path` with `argv0` as its name; the child is reaped by the fixture.
pid_t Spawn(const std::string& path, const std::string& argv0) {
  std::string seconds = "600";
  char* argv[] = {const_cast<char*>(argv0.c_str()), seconds.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ) != 0) {
    return -1;
  }
  return pid;
}

// The state letter of /proc/<pid>/stat.
char StateOf(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(in, line);
  const size_t close = line.rfind(')');
  return close == std::string::npos || close + 2 >= line.size() ? '?' : line[close + 2];
}

class RealProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sleep_path_ = std::filesystem::canonical("/bin/sleep").string();
    // A name with blanks and parentheses, as the kernel keeps it.
    odd_link_ = temp_.path() / "a) b (c";
    std::filesystem::create_symlink(sleep_path_, odd_link_);
    for (int i = 0; i < 3; ++i) {
      const pid_t pid = i == 2 ? Spawn(odd_link_.string(), "odd") : Spawn(sleep_path_, "sleep");
      ASSERT_GT(pid, 0);
      children_.push_back(pid);
    }
    // The first child owns a window; the test process is the host "TestHost".
    const std::string scenario = R"({"currentApplication": {"localizedName": "TestHost"},
        "windows": [{"ownerPid": )" +
                                 std::to_string(children_[0]) + "}]}";
    desktop_ = std::make_unique<testing::TestDesktop>(scenario);
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
  nlohmann::json ChildrenOf(const nlohmann::json& listing) const {
    nlohmann::json processes = nlohmann::json::array();
    for (const auto& entry : listing["processes"]) {
      for (pid_t pid : children_) {
        if (entry["pid"] == std::to_string(pid)) {
          processes.push_back(entry);
        }
      }
    }
    return {{"processes", processes}};
  }

  testing::ScopedRecordingHost host_;
  testing::TempDir temp_;
  std::string sleep_path_;
  std::filesystem::path odd_link_;
  std::vector<pid_t> children_;
  std::unique_ptr<testing::TestDesktop> desktop_;
  std::unique_ptr<platform::sim::SimWorkspace> workspace_;
  std::unique_ptr<platform::sim::SimWindowList> windows_;
  std::unique_ptr<ScopedOverride<platform::NSWorkspace>> use_workspace_;
  std::unique_ptr<ScopedOverride<platform::CGWindowList>> use_windows_;
};

TEST_F(RealProcessTest, ListingShowsChildrenAndLeavesTheHostOut) {
  const std::string text = SecurityControllerSwift().getAllProcesses("");
  const nlohmann::json listing = nlohmann::json::parse(text);
  const nlohmann::json children = ChildrenOf(listing)["processes"];
  ASSERT_EQ(children.size(), 3U) << text.substr(0, 2000);
  for (size_t i = 0; i < children.size(); ++i) {
    const auto& child = children[i];
    EXPECT_EQ(child["processName"], i == 2 ? "a) b (c" : "sleep");
    EXPECT_EQ(child["processPath"], sleep_path_);
    EXPECT_EQ(child["parentProcessName"], "TestHost");
    EXPECT_EQ(child["processType"], i == 0 ? "WINDOW" : "NONWINDOW");
    EXPECT_EQ(child["state"], "ACTIVE");
  }
  for (const auto& entry : listing["processes"]) {
    EXPECT_NE(entry["pid"], std::to_string(getpid()));
    EXPECT_TRUE(entry.contains("processName") && entry.contains("parentProcessName"));
  }
  EXPECT_TRUE(host_.logs().empty());
}

TEST_F(RealProcessTest, KernelTableHasParentIds) {
  size_t count = 0;
  auto& sysctl = platform::Get<platform::Sysctl>();
  ASSERT_EQ(sysctl.KernProcAll(nullptr, &count), 0);
  std::vector<platform::KinfoProc> table(count);
  ASSERT_EQ(sysctl.KernProcAll(table.data(), &count), 0);
  int found = 0;
  for (size_t i = 0; i < count; ++i) {
    for (pid_t child : children_) {
      if (table[i].p_pid == child) {
        ++found;
        EXPECT_EQ(table[i].e_ppid, getpid());
      }
    }
  }
  EXPECT_EQ(found, 3);
  // A buffer one record too small is reported, not overrun.
  size_t small = count > 0 ? count - 1 : 0;
  std::vector<platform::KinfoProc> short_table(small + 1);
  EXPECT_EQ(sysctl.KernProcAll(short_table.data(), &small), ENOMEM);
}

TEST_F(RealProcessTest, ListedDocumentPausesResumesAndKillsTheChildren) {
  const nlohmann::json listing =
      nlohmann::json::parse(SecurityControllerSwift().getAllProcesses(""));
  const std::string document = ChildrenOf(listing).dump();
  ASSERT_EQ(ChildrenOf(listing)["processes"].size(), 3U);

  EXPECT_EQ(SecurityControllerSwift().pauseAll(document), "");
  for (pid_t pid : children_) {
    const int status = NextChange(pid);
    EXPECT_TRUE(WIFSTOPPED(status) && WSTOPSIG(status) == SIGSTOP);
    EXPECT_EQ(StateOf(pid), 'T');
  }

  SecurityControllerSwift().resumeAll(document);
  for (pid_t pid : children_) {
    EXPECT_TRUE(WIFCONTINUED(NextChange(pid)));
  }

  EXPECT_EQ(SecurityControllerSwift().killAll(document), "");
  for (pid_t pid : children_) {
    const int status = NextChange(pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  }
  children_.clear();  // reaped above

  const std::vector<LogLine> logs = host_.logs();
  ASSERT_EQ(logs.size(), 3U);
  EXPECT_EQ(logs[0], (LogLine{"Pausing processes: sleep, sleep, a) b (c, ", "INFO"}));
  EXPECT_EQ(logs[1], (LogLine{"Resuming processes: sleep, sleep, a) b (c, ", "INFO"}));
  EXPECT_EQ(logs[2], (LogLine{"Killing processes: sleep, sleep, a) b (c, ", "INFO"}));
}

TEST_F(RealProcessTest, UndeliverableSignalsComeBackAsADocument) {
  const std::string document = R"({"processes": [{"pid": ")" + std::string(kImpossiblePid) +
                               R"(", "processName": "ghost"}, {"pid": ")" +
                               std::to_string(children_[1]) + R"(", "processName": "sleep"}]})";
  const std::string failed = SecurityControllerSwift().pauseAll(document);
  EXPECT_TRUE(WIFSTOPPED(NextChange(children_[1])));
  const nlohmann::json expected =
      nlohmann::json::parse(R"({"processes": [{"pid": ")" + std::string(kImpossiblePid) +
                            R"(", "processName": "ghost",
      "processType": "WINDOW", "state": "ACTIVE"}]})");
  EXPECT_EQ(nlohmann::json::parse(failed), expected);
  SecurityControllerSwift().resumeAll(document);
  EXPECT_TRUE(WIFCONTINUED(NextChange(children_[1])));
}

TEST_F(RealProcessTest, PathsOfRealProcesses) {
  EXPECT_EQ(SecurityControllerSwift().getProcessPath(std::to_string(children_[0])), sleep_path_);
  EXPECT_EQ(SecurityControllerSwift().getProcessPath(kImpossiblePid), "");
  EXPECT_EQ(SecurityControllerSwift().getProcessPath("abc"), "");
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
