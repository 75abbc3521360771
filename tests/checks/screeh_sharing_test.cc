#include "checks/screeh_sharing.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/piped_task.h"
#include "tests/support/recording_host.h"
#include "tests/support/temp_dir.h"

extern char** environ;  // NOLINT(readability-redundant-declaration)

namespace osxnatives {
namespace {

using platform::ScopedOverride;
using testing::LogLine;
using testing::ScopedRecordingHost;
using testing::TempDir;

class FakeTask : public platform::PipedTask {
 public:
  explicit FakeTask(std::optional<std::string> output) : output_(std::move(output)) {}
  std::optional<std::string> LaunchAndReadToEndOfFile(
      const std::string& executable, const std::vector<std::string>& arguments) override {
    executable_ = executable;
    arguments_ = arguments;
    return output_;
  }
  std::string executable_;
  std::vector<std::string> arguments_;

 private:
  std::optional<std::string> output_;
};

struct OutputCase {
  const char* name;
  std::optional<std::string> output;
  int64_t expected;
  std::vector<LogLine> logs;
};

void PrintTo(const OutputCase& c, std::ostream* os) { *os << c.name; }

class ScreenSharingOutputTest : public ::testing::TestWithParam<OutputCase> {};

TEST_P(ScreenSharingOutputTest, AnyOutputMeansRunning) {
  ScopedRecordingHost host;
  FakeTask task(GetParam().output);
  ScopedOverride<platform::PipedTask> use(&task);
  EXPECT_EQ(ScreehSharing().checkScreenSharing(), GetParam().expected);
  EXPECT_EQ(task.executable_, "/usr/bin/pgrep");
  EXPECT_EQ(task.arguments_, std::vector<std::string>{"screensharingd"});
  EXPECT_EQ(host.logs(), GetParam().logs);
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, ScreenSharingOutputTest,
    ::testing::Values(OutputCase{"nothing_printed", "", 0, {}},
                      OutputCase{"one_pid", "412\n", 1, {}},
                      OutputCase{"several_pids", "412\n977\n", 1, {}},
                      OutputCase{"one_byte_not_parsed", std::string(1, '\0'), 1, {}},
                      OutputCase{"not_started",
                                 std::nullopt,
                                 0,
                                 {{"Error running pgrep to detect screen sharing", "ERROR"}}}),
    [](const auto& info) { return std::string(info.param.name); });

// Sends the real task to another executable, so that a missing tool can be
// tried without touching the machine's own.
class RedirectedTask : public platform::PipedTask {
 public:
  explicit RedirectedTask(std::string executable) : executable_(std::move(executable)) {}
  std::optional<std::string> LaunchAndReadToEndOfFile(
      const std::string& /*executable*/, const std::vector<std::string>& arguments) override {
    return real_.LaunchAndReadToEndOfFile(executable_, arguments);
  }

 private:
  std::string executable_;
  platform::os::PosixPipedTask real_;
};

TEST(ScreenSharingRealTest, MissingOrUnusableToolIsLoggedAndGivesZero) {
  TempDir dir;
  const std::string not_executable = dir.Write("pgrep-not-executable", "#!/bin/sh\n").string();
  for (const std::string& path :
       {(dir.path() / "absent" / "pgrep").string(), not_executable, dir.path().string()}) {
    SCOPED_TRACE(path);
    ScopedRecordingHost host;
    RedirectedTask task(path);
    ScopedOverride<platform::PipedTask> use(&task);
    EXPECT_EQ(ScreehSharing().checkScreenSharing(), 0);
    EXPECT_EQ(host.logs(),
              (std::vector<LogLine>{{"Error running pgrep to detect screen sharing", "ERROR"}}));
  }
}

// Serialises the tests that start or look for a process named screensharingd,
// across test processes.
class ScreenSharingLock {
 public:
  ScreenSharingLock() : fd_(open("/tmp/osxnatives-screensharingd.lock", O_CREAT | O_RDWR, 0666)) {
    if (fd_ >= 0) {
      flock(fd_, LOCK_EX);
    }
  }
  ~ScreenSharingLock() {
    if (fd_ >= 0) {
      close(fd_);
    }
  }
  ScreenSharingLock(const ScreenSharingLock&) = delete;
  ScreenSharingLock& operator=(const ScreenSharingLock&) = delete;

 private:
  int fd_;
};

bool HasChildren() {
  errno = 0;
  return !(waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD);
}

TEST(ScreenSharingRealTest, SeesAProcessNamedScreensharingd) {
  if (access(ScreehSharing::kPgrepPath, X_OK) != 0) {
    GTEST_SKIP() << "no /usr/bin/pgrep";
  }
  ScreenSharingLock lock;
  ScopedRecordingHost host;
  ASSERT_EQ(ScreehSharing().checkScreenSharing(), 0) << "a screensharingd runs on this machine";

  TempDir dir;
  const std::filesystem::path daemon = dir.path() / "screensharingd";
  std::filesystem::copy_file("/bin/sleep", daemon);
  std::string path = daemon.string();
  std::string seconds = "600";
  char* argv[] = {path.data(), seconds.data(), nullptr};
  pid_t pid = -1;
  ASSERT_EQ(posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ), 0);
  // posix_spawn returns once the copy has been executed, so it carries its name.
  const int64_t running = ScreehSharing().checkScreenSharing();
  ASSERT_EQ(kill(pid, SIGKILL), 0);
  ASSERT_EQ(waitpid(pid, nullptr, 0), pid);
  EXPECT_EQ(running, 1);
  EXPECT_EQ(ScreehSharing().checkScreenSharing(), 0);
  EXPECT_TRUE(host.logs().empty());
}

TEST(ScreenSharingRealTest, LeavesNoChildBehind) {
  if (access(ScreehSharing::kPgrepPath, X_OK) != 0) {
    GTEST_SKIP() << "no /usr/bin/pgrep";
  }
  ASSERT_FALSE(HasChildren());
  for (int i = 0; i < 200; ++i) {
    ScreehSharing().checkScreenSharing();
    ASSERT_FALSE(HasChildren()) << "after call " << i;
  }
}

}  // namespace
}  // namespace osxnatives
