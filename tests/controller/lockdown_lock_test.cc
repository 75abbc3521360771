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

TEST_F(LockdownLockTest, BusyLockIsLoggedAndNeverStopsALockdownOrUnlock) {
  lock_.busy = true;
  SecurityControllerSwift::startInputHandler();
  EXPECT_TRUE(SecurityControllerSwift::sharedInputHandler()->serviceRunning());
  EXPECT_EQ(lockdown_.CornerCalls().size(), 4U);
  EXPECT_EQ(lockdown_.task.commands().size(), 4U);
  EXPECT_TRUE(std::filesystem::exists(lockdown_.settingsFolder("") / "Settings.plist"));

  SecurityControllerSwift::stopInputHandler();  // tries again, then goes on
  EXPECT_EQ(lock_.folders.size(), 2U);
  EXPECT_FALSE(SecurityControllerSwift::sharedInputHandler()->serviceRunning());
  EXPECT_EQ(lockdown_.CornerCalls().size(), 8U);
  EXPECT_EQ(lockdown_.task.commands().size(), 8U);
  EXPECT_FALSE(std::filesystem::exists(lockdown_.settingsFolder("") / "Settings.plist"));
  const std::string busy =
      "Settings folder still locked by osxnatives-recover (pid 7); going on without the lock";
  EXPECT_EQ(Errors(), (std::vector<std::string>{busy, busy}));
}

TEST_F(LockdownLockTest, UnknownSettingsFolderIsLoggedAndTheLockdownGoesOn) {
  lockdown_.files.failApplicationSupport = true;
  SecurityControllerSwift::startInputHandler();
  EXPECT_TRUE(lock_.folders.empty());
  EXPECT_TRUE(SecurityControllerSwift::sharedInputHandler()->serviceRunning());
  EXPECT_EQ(lockdown_.task.commands().size(), 4U);
  EXPECT_EQ(Errors(), std::vector<std::string>{
                          "Unable to lock the settings folder: Application Support: no support "
                          "folder"});
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
