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

const std::vector<LogLine> kNotStarted = {
    {"Error running pgrep to detect screen sharing", "ERROR"}};

// Answers with `output`, or runs the real task on `redirect` when set, so
// that a missing tool can be tried without touching the machine's own.
class FakeTask : public platform::PipedTask {
 public:
  std::optional<std::string> LaunchAndReadToEndOfFile(
      const std::string& executable, const std::vector<std::string>& arguments) override {
    EXPECT_EQ(executable, "/usr/bin/pgrep");
    EXPECT_EQ(arguments, std::vector<std::string>{"screensharingd"});
    return redirect.empty() ? output : real_.LaunchAndReadToEndOfFile(redirect, arguments);
  }
  std::optional<std::string> output;
  std::string redirect;

 private:
  platform::os::PosixPipedTask real_;
};

TEST(ScreenSharingTest, AnyOutputMeansRunningAndAFailedStartIsLogged) {
  TempDir dir;
  const std::string not_executable = dir.Write("pgrep-not-executable", "#!/bin/sh\n").string();
  struct Case {
    std::optional<std::string> output;
    std::string redirect;
    int64_t expected;
    std::vector<LogLine> logs;
  };
  for (const Case& c :
       std::vector<Case>{{"", "", 0, {}},
                         {std::string(1, '\0'), "", 1, {}},  // one byte, not parsed
                         {std::nullopt, "", 0, kNotStarted},
                         {"", (dir.path() / "absent" / "pgrep").string(), 0, kNotStarted},
                         {"", not_executable, 0, kNotStarted},
                         {"", dir.path().string(), 0, kNotStarted}}) {
    SCOPED_TRACE(c.redirect);
    ScopedRecordingHost host;
    FakeTask task;
    task.output = c.output;
    task.redirect = c.redirect;
    ScopedOverride<platform::PipedTask> use(&task);
    EXPECT_EQ(ScreehSharing().checkScreenSharing(), c.expected);
    EXPECT_EQ(host.logs(), c.logs);
  }
}

bool HasChildren() {
  errno = 0;
  return !(waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD);
}

TEST(ScreenSharingRealTest, SeesAProcessNamedScreensharingd) {
  if (access(ScreehSharing::kPgrepPath, X_OK) != 0) {
    GTEST_SKIP() << "no /usr/bin/pgrep";
  }
  // Test processes of other builds on this machine may start one too: take turns.
  const int lock = open("/tmp/osxnatives-screensharingd.lock", O_CREAT | O_RDWR, 0666);
  ASSERT_EQ(flock(lock, LOCK_EX), 0);
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
  close(lock);
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
