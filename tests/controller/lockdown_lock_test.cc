// The settings lock around the controller's lockdown and unlock.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "controller/security_controller_swift.h"
#include "input/input_handler_swift.h"
#include "input/settings_lock.h"
#include "platform/file_lock.h"
#include "tests/input/lockdown_support.h"

namespace osxnatives {
namespace {

using platform::FolderLockFailure;
using platform::HeldFolderLock;

// Grants or refuses every request and counts the locks held.
class FakeFolderLock : public platform::FolderLock {
 public:
  bool busy = false;
  int held = 0;
  std::vector<std::string> folders;
  std::vector<std::chrono::milliseconds> waits;

  std::variant<std::unique_ptr<HeldFolderLock>, FolderLockFailure> Acquire(
      const std::string& folder, std::chrono::milliseconds timeout) override {
    folders.push_back(folder);
    waits.push_back(timeout);
    if (busy) {
      return FolderLockFailure{true, "osxnatives-recover (pid 7)", ""};
    }
    return std::make_unique<Held>(held);
  }

 private:
  class Held : public HeldFolderLock {
   public:
    explicit Held(int& count) : count_(count) { ++count_; }
    ~Held() override { --count_; }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;

   private:
    int& count_;
  };
};

class LockdownLockTest : public ::testing::Test {
 protected:
  LockdownLockTest() {
    // The controller's handler is process-wide; point it at this test's
    // notification centre.
    SecurityControllerSwift::sharedInputHandler()->setNotificationCenter(lockdown_.center);
  }
  ~LockdownLockTest() override {
    if (SecurityControllerSwift::sharedInputHandler()->serviceRunning()) {
      lock_.busy = false;
      SecurityControllerSwift::stopInputHandler();
    }
  }

  std::vector<std::string> Errors() const {
    std::vector<std::string> errors;
    for (const auto& line : lockdown_.host.logs()) {
      if (line.level == "ERROR") {
        errors.push_back(line.message);
      }
    }
    return errors;
  }

  testing::Lockdown lockdown_;
  testing::CapturedStdout stdout_;
  FakeFolderLock lock_;
  platform::ScopedOverride<platform::FolderLock> use_lock_{&lock_};
};

TEST_F(LockdownLockTest, HeldFromLockdownToUnlockOnTheTrevantFolder) {
  SecurityControllerSwift::startInputHandler();
  ASSERT_EQ(lock_.folders.size(), 1U);
  EXPECT_EQ(lock_.folders[0], lockdown_.settingsFolder("").string());
  EXPECT_TRUE(std::filesystem::is_directory(lockdown_.settingsFolder("")));
  EXPECT_EQ(lock_.waits[0], SecurityControllerSwift::kSettingsLockWait);
  EXPECT_EQ(lock_.held, 1);

  SecurityControllerSwift::startInputHandler();  // already locked down: nothing more to take
  EXPECT_EQ(lock_.folders.size(), 1U);
  EXPECT_EQ(lock_.held, 1);

  SecurityControllerSwift::stopInputHandler();
  EXPECT_EQ(lock_.held, 0);
  SecurityControllerSwift::stopInputHandler();  // idle: no restore, no lock
  EXPECT_EQ(lock_.folders.size(), 1U);
  EXPECT_EQ(lockdown_.CornerCalls().size(), 8U);
  EXPECT_EQ(Errors(), std::vector<std::string>{});
}

// Another browser's lockdown holds the lock, and the settings file is its
// record of the user's settings: a lockdown that goes on without the lock
// neither overwrites, nor restores, nor deletes it.
TEST_F(LockdownLockTest, BusyLockLeavesTheHoldersSettingsFileAlone) {
  const auto file = lockdown_.settingsFolder("") / "Settings.plist";
  const std::string theirs = testing::Lockdown::Xml({{"wvous-tl-corner", 7}, {"HotKeys", "64"}});
  testing::Lockdown::WriteRaw(file, theirs);
  lock_.busy = true;
  SecurityControllerSwift::startInputHandler();
  EXPECT_TRUE(SecurityControllerSwift::sharedInputHandler()->serviceRunning());
  EXPECT_EQ(lockdown_.CornerCalls().size(), 4U);
  EXPECT_EQ(lockdown_.task.commands().size(), 4U);

  SecurityControllerSwift::stopInputHandler();  // tries again, then goes on
  EXPECT_EQ(lock_.folders.size(), 2U);
  EXPECT_FALSE(SecurityControllerSwift::sharedInputHandler()->serviceRunning());
  EXPECT_EQ(lockdown_.CornerCalls().size(), 4U) << "nothing of the holder's restored";
  EXPECT_EQ(lockdown_.task.commands().size(), 8U);
  EXPECT_EQ(testing::Lockdown::ReadRaw(file), theirs);
  std::vector<std::filesystem::path> written;
  for (const auto& entry : std::filesystem::directory_iterator(file.parent_path())) {
    written.push_back(entry.path());
  }
  EXPECT_EQ(written, std::vector<std::filesystem::path>{file}) << "and nothing else written";
  const std::string busy =
      "Settings folder still locked by osxnatives-recover (pid 7); going on without the lock";
  EXPECT_EQ(Errors(), (std::vector<std::string>{busy, busy}));
}

// When the holder is gone by the unlock, what it left is restored; what it
// took with it is not replaced by zeroed corners.
TEST_F(LockdownLockTest, UnlockAfterTheHolderLeftRestoresOnlyWhatItLeft) {
  const auto file = lockdown_.settingsFolder("") / "Settings.plist";
  for (const bool left : {false, true}) {
    SCOPED_TRACE(left ? "holder died" : "holder unlocked");
    if (left) {
      testing::Lockdown::WriteRaw(
          file, testing::Lockdown::Xml({{"wvous-tl-corner", 7}, {"HotKeys", ""}}));
    }
    const size_t before = lockdown_.CornerCalls().size();
    lock_.busy = true;
    SecurityControllerSwift::startInputHandler();
    lock_.busy = false;
    SecurityControllerSwift::stopInputHandler();
    const auto corners = lockdown_.CornerCalls();
    EXPECT_EQ(corners.size(), before + (left ? 8U : 4U));
    if (left) {
      EXPECT_EQ(corners.back(), (std::pair<int32_t, int32_t>(0, 3)));
      EXPECT_EQ(corners[corners.size() - 4], (std::pair<int32_t, int32_t>(7, 0)));
    }
    EXPECT_FALSE(std::filesystem::exists(file));
  }
}

TEST_F(LockdownLockTest, UnknownSettingsFolderGoesToTheSystemLogAndTheLockdownGoesOn) {
  lockdown_.files.failApplicationSupport = true;
  SecurityControllerSwift::startInputHandler();
  EXPECT_TRUE(lock_.folders.empty());
  EXPECT_TRUE(SecurityControllerSwift::sharedInputHandler()->serviceRunning());
  EXPECT_EQ(lockdown_.task.commands().size(), 4U);
  EXPECT_EQ(Errors(), std::vector<std::string>{});
  const auto system = lockdown_.systemLog.lines();
  ASSERT_FALSE(system.empty());
  EXPECT_EQ(system[0],
            "Unable to lock the settings folder: Application Support: no support folder");
}

TEST(SettingsLockTest, SecondAcquireInTheSameFolderIsBusyUntilTheFirstLetsGo) {
  testing::Lockdown lockdown;
  SettingsLock::Result first = SettingsLock::acquire(std::chrono::milliseconds(0));
  ASSERT_TRUE(std::holds_alternative<std::unique_ptr<HeldFolderLock>>(first));
  SettingsLock::Result second = SettingsLock::acquire(std::chrono::milliseconds(0));
  ASSERT_TRUE(std::holds_alternative<FolderLockFailure>(second));
  EXPECT_TRUE(std::get<FolderLockFailure>(second).busy);
  std::get<std::unique_ptr<HeldFolderLock>>(first).reset();
  EXPECT_TRUE(std::holds_alternative<std::unique_ptr<HeldFolderLock>>(
      SettingsLock::acquire(std::chrono::milliseconds(0))));
}

}  // namespace
}  // namespace osxnatives
