#include "platform/file_lock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/support/temp_dir.h"

namespace osxnatives::platform {
namespace {

using std::chrono::milliseconds;
using Held = std::unique_ptr<HeldFolderLock>;

TEST(FolderLockTest, SecondComerTimesOutAndLearnsTheHolderAWaiterGetsItAndAFolderMustExist) {
  testing::TempDir dir;
  auto& lock = Get<FolderLock>();
  auto first = lock.Acquire(dir.path().string(), milliseconds(0));
  ASSERT_TRUE(std::holds_alternative<Held>(first));

  const auto started = std::chrono::steady_clock::now();
  auto second = lock.Acquire(dir.path().string(), milliseconds(100));
  EXPECT_GE(std::chrono::steady_clock::now() - started, milliseconds(100));
  ASSERT_TRUE(std::holds_alternative<FolderLockFailure>(second));
  const auto& failure = std::get<FolderLockFailure>(second);
  EXPECT_TRUE(failure.busy);
  EXPECT_NE(failure.holder.find("(pid " + std::to_string(getpid()) + ")"), std::string::npos)
      << failure.holder;

  std::thread releaser([&first] { std::get<Held>(first).reset(); });
  auto waiter = lock.Acquire(dir.path().string(), milliseconds(10000));
  releaser.join();
  EXPECT_TRUE(std::holds_alternative<Held>(waiter));

  // A missing folder is an error, not a busy lock.
  auto missing = lock.Acquire((dir.path() / "absent").string(), milliseconds(0));
  ASSERT_TRUE(std::holds_alternative<FolderLockFailure>(missing));
  EXPECT_FALSE(std::get<FolderLockFailure>(missing).busy);
  EXPECT_NE(std::get<FolderLockFailure>(missing).error.find("absent"), std::string::npos);
}

}  // namespace
}  // namespace osxnatives::platform
