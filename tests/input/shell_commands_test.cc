// The shell commands through the real task backend and a shell that cannot
// start. The commands' effect on a real machine is covered end to end by the
// Java lockdown test, which runs them through bash against recording stand-ins.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cerrno>
#include <csignal>

#include "input/input_handler_swift.h"
#include "platform/linux/services.h"
#include "platform/ns_task.h"
#include "platform/posix/services.h"
#include "tests/input/lockdown_support.h"

namespace osxnatives {
namespace {

using testing::Lockdown;

TEST(ShellCommandsTest, TaskReportsStatusAndReapsTheChild) {
  auto& task = platform::LinuxNSTask();
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

}  // namespace
}  // namespace osxnatives
