#include "platform/linux/piped_task.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cerrno>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

namespace osxnatives::platform::os {
namespace {

TEST(PosixPipedTaskTest, PassesArgumentsWithoutAShellAndCapturesStandardOutputOnly) {
  PosixPipedTask task;
  EXPECT_EQ(task.LaunchAndReadToEndOfFile("/bin/echo", {"a  b", "$HOME", "*", ""}),
            "a  b $HOME * \n");
  EXPECT_EQ(task.LaunchAndReadToEndOfFile("/bin/sh", {"-c", "echo out; echo err >&2; exit 3"}),
            "out\n");
  auto large = task.LaunchAndReadToEndOfFile("/usr/bin/head", {"-c", "1000000", "/dev/zero"});
  EXPECT_EQ(large.value_or("").size(), 1000000U);  // more than a pipe holds
}

TEST(PosixPipedTaskTest, ChildStartsWithNoSignalBlocked) {
  sigset_t blocked;
  sigset_t previous;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGTERM);
  sigaddset(&blocked, SIGUSR1);
  ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &blocked, &previous), 0);
  auto output =
      PosixPipedTask().LaunchAndReadToEndOfFile("/bin/grep", {"SigBlk", "/proc/self/status"});
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  EXPECT_EQ(output, "SigBlk:\t0000000000000000\n");
}

TEST(PosixPipedTaskTest, UnstartableExecutableGivesNothingAndNoChild) {
  PosixPipedTask task;
  EXPECT_EQ(task.LaunchAndReadToEndOfFile("/nonexistent/pgrep", {"x"}), std::nullopt);
  EXPECT_EQ(task.LaunchAndReadToEndOfFile("/etc/hostname", {}), std::nullopt);
  EXPECT_EQ(task.LaunchAndReadToEndOfFile("/tmp", {}), std::nullopt);
  errno = 0;
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

TEST(PosixPipedTaskTest, ConcurrentCallsKeepTheirOwnOutput) {
  // A pipe inherited by a sibling child would keep another call waiting, or
  // mix outputs.
  std::vector<std::thread> threads;
  std::vector<std::optional<std::string>> outputs(8);
  for (size_t i = 0; i < outputs.size(); ++i) {
    threads.emplace_back([&outputs, i] {
      outputs[i] = PosixPipedTask().LaunchAndReadToEndOfFile("/bin/echo", {std::to_string(i)});
    });
  }
  for (auto& thread : threads) {
    thread.join();
  }
  for (size_t i = 0; i < outputs.size(); ++i) {
    EXPECT_EQ(outputs[i], std::to_string(i) + "\n");
  }
  errno = 0;
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

}  // namespace
}  // namespace osxnatives::platform::os
