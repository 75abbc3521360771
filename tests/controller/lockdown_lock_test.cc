// The settings lock around the controller's lockdown and unlock.
#include <gtest/gtest.h>

#include "controller/security_controller_swift.h"
#include "input/input_handler_swift.h"
#include "platform/file_lock.h"
#include "tests/input/lockdown_support.h"

namespace osxnatives {
namespace {

using Controller = SecurityControllerSwift;
using testing::Lockdown;

// Grants or refuses every request and counts the locks held.
struct FakeFolderLock : platform::FolderLock {
  bool busy = false;
  int held = 0;
  std::vector<std::string> folders;

  std::variant<std::unique_ptr<platform::HeldFolderLock>, platform::FolderLockFailure> Acquire(
      const std::string& folder, std::chrono::milliseconds timeout) override {
    folders.push_back(folder);
    EXPECT_EQ(timeout, Controller::kSettingsLockWait);
    if (busy) return platform::FolderLockFailure{true, "osxnatives-recover (pid 7)", ""};
    struct Held : platform::HeldFolderLock {
      explicit Held(int& count) : count(count) { ++count; }
      ~Held() override { --count; }
      int& count;
    };
    return std::make_unique<Held>(held);
  }
};

class LockdownLockTest : public ::testing::Test {
 protected:
  // The controller's handler is process-wide; point it at this test's
  // notification centre.
  LockdownLockTest() { Controller::sharedInputHandler()->setNotificationCenter(lockdown_.center); }
  ~LockdownLockTest() override {
    lock_.busy = false;
    if (Controller::sharedInputHandler()->serviceRunning()) Controller::stopInputHandler();
  }
  std::vector<std::string> Errors() const {
    std::vector<std::string> errors;
    for (const auto& line : lockdown_.host.logs()) {
      if (line.level == "ERROR") errors.push_back(line.message);
    }
    return errors;
  }

  Lockdown lockdown_;
  testing::CapturedStdout stdout_;
  FakeFolderLock lock_;
  platform::ScopedOverride<platform::FolderLock> use_lock_{&lock_};
  const std::filesystem::path file_ = lockdown_.settingsFolder("") / "Settings.plist";
};

TEST_F(LockdownLockTest, HeldFromLockdownToUnlockOnTheTrevantFolder) {
  Controller::startInputHandler();
  Controller::startInputHandler();  // already locked down: nothing more to take
  EXPECT_EQ(lock_.folders, std::vector<std::string>{file_.parent_path().string()});
  EXPECT_TRUE(std::filesystem::is_directory(file_.parent_path()));
  EXPECT_EQ(lock_.held, 1);
  Controller::stopInputHandler();
  EXPECT_EQ(lock_.held, 0);
  Controller::stopInputHandler();  // idle: no restore, no lock
  EXPECT_EQ(lock_.folders.size(), 1U);
  EXPECT_EQ(lockdown_.CornerCalls().size(), 8U);
  EXPECT_EQ(Errors(), std::vector<std::string>{});
}

// Another browser's lockdown holds the lock, and the settings file is its
// record of the user's settings: a lockdown that goes on without the lock
// neither overwrites, nor restores, nor deletes it.
TEST_F(LockdownLockTest, BusyLockLeavesTheHoldersSettingsFileAlone) {
  const std::string theirs = Lockdown::Xml({{"wvous-tl-corner", 7}, {"HotKeys", "64"}});
  Lockdown::WriteRaw(file_, theirs);
  lock_.busy = true;
  Controller::startInputHandler();
  EXPECT_TRUE(Controller::sharedInputHandler()->serviceRunning());
  EXPECT_EQ(lockdown_.CornerCalls().size(), 4U);
  EXPECT_EQ(lockdown_.task.commands().size(), 4U);
  Controller::stopInputHandler();  // tries again, then goes on
  EXPECT_EQ(lock_.folders.size(), 2U);
  EXPECT_FALSE(Controller::sharedInputHandler()->serviceRunning());
  EXPECT_EQ(lockdown_.CornerCalls().size(), 4U) << "nothing of the holder's restored";
  EXPECT_EQ(lockdown_.task.commands().size(), 8U);
  EXPECT_EQ(Lockdown::ReadRaw(file_), theirs);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(file_.parent_path()), {}), 1)
      << "nothing else written";
  const std::string busy =
      "Settings folder still locked by osxnatives-recover (pid 7); going on without the lock";
  EXPECT_EQ(Errors(), (std::vector<std::string>{busy, busy}));
}

// When the holder is gone by the unlock, what it left is restored; what it
// took with it is not replaced by zeroed corners.
TEST_F(LockdownLockTest, UnlockAfterTheHolderLeftRestoresOnlyWhatItLeft) {
  for (const bool left : {false, true}) {
    SCOPED_TRACE(left ? "holder died" : "holder unlocked");
    if (left) Lockdown::WriteRaw(file_, Lockdown::Xml({{"wvous-tl-corner", 7}, {"HotKeys", ""}}));
    const size_t before = lockdown_.CornerCalls().size();
    lock_.busy = true;
    Controller::startInputHandler();
    lock_.busy = false;
    Controller::stopInputHandler();
    const auto corners = lockdown_.CornerCalls();
    ASSERT_EQ(corners.size(), before + (left ? 8U : 4U));
    if (left) {  // the top-left corner back to 7 first, the last corner last
      EXPECT_EQ(corners[corners.size() - 4], (std::pair<int32_t, int32_t>(7, 0)));
      EXPECT_EQ(corners.back(), (std::pair<int32_t, int32_t>(0, 3)));
    }
    EXPECT_FALSE(std::filesystem::exists(file_));
  }
}

TEST_F(LockdownLockTest, UnknownSettingsFolderGoesToTheSystemLogAndTheLockdownGoesOn) {
  lockdown_.files.failApplicationSupport = true;
  Controller::startInputHandler();
  EXPECT_TRUE(lock_.folders.empty());
  EXPECT_TRUE(Controller::sharedInputHandler()->serviceRunning());
  EXPECT_EQ(lockdown_.task.commands().size(), 4U);
  EXPECT_EQ(Errors(), std::vector<std::string>{});
  EXPECT_EQ(lockdown_.systemLog.lines().at(0),
            "Unable to lock the settings folder: Application Support: no support folder");
}

}  // namespace
}  // namespace osxnatives
