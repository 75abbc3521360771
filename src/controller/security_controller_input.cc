// The controller's class-wide input lockdown: one input handler and one
// display handler for the life of the process.
#include <mutex>

#include "checks/display_handler_swift.h"
#include "common/host.h"
#include "controller/security_controller_swift.h"
#include "input/input_handler_swift.h"
#include "input/settings_lock.h"
#include "platform/ns_log.h"

namespace osxnatives {
namespace {

// The settings lock while this process has the desktop locked down. The lock
// lives at the controller, not in the handler, because it spans the whole
// lockdown (from one native call to another) and must outlive neither: the
// handler's own operations stay exactly lockdown and unlock.
struct LockdownLock {
  std::mutex mutex;  // held across each whole start and stop, displays included
  std::unique_ptr<platform::HeldFolderLock> held;
};

LockdownLock& Lockdown() {
  static auto* const lock = new LockdownLock();
  return *lock;
}

// Takes the settings lock unless held. A lockdown or unlock never fails for
// it: after the bounded wait it goes on without the lock and says so. Returns
// true when another live process holds it.
bool TakeSettingsLock(LockdownLock& lockdown) {
  if (lockdown.held) {
    return false;
  }
  SettingsLock::Result result = SettingsLock::acquire(SecurityControllerSwift::kSettingsLockWait);
  if (auto* held = std::get_if<std::unique_ptr<platform::HeldFolderLock>>(&result)) {
    lockdown.held = std::move(*held);
    return false;
  }
  const auto& failure = std::get<platform::FolderLockFailure>(result);
  if (failure.busy) {
    Log("Settings folder still locked by " +
            (failure.holder.empty() ? std::string("another process") : failure.holder) +
            "; going on without the lock",
        "ERROR");
    return true;
  }
  // The settings file's own messages already say why the folder is unusable;
  // this is for whoever reads the system log.
  platform::NSLog("Unable to lock the settings folder: " + failure.error);
  return false;
}

}  // namespace

std::shared_ptr<InputHandlerSwift> SecurityControllerSwift::sharedInputHandler() {
  // Function-local statics are created exactly once, also when two threads
  // arrive together. Never destroyed: the handler may still be in use while
  // the process exits.
  static const auto* const handler =
      new std::shared_ptr<InputHandlerSwift>(std::make_shared<InputHandlerSwift>(true));
  return *handler;
}

std::shared_ptr<DisplayHandlerSwift> SecurityControllerSwift::sharedDisplayHandler() {
  static const auto* const handler =
      new std::shared_ptr<DisplayHandlerSwift>(std::make_shared<DisplayHandlerSwift>());
  return *handler;
}

// The displays are captured and released under the same mutex as the handler
// runs: otherwise a stop overlapping a start could release before the start
// captures, and leave a display captured after the unlock.
void SecurityControllerSwift::startInputHandler() {
  const std::shared_ptr<InputHandlerSwift> handler = sharedInputHandler();
  LockdownLock& lockdown = Lockdown();
  std::lock_guard guard(lockdown.mutex);
  if (!handler->serviceRunning() && handler->inputDisabled()) {
    handler->setSettingsHeldElsewhere(TakeSettingsLock(lockdown));
  }
  handler->start();
  sharedDisplayHandler()->captureDisplay();
}

void SecurityControllerSwift::stopInputHandler() {
  const std::shared_ptr<InputHandlerSwift> handler = sharedInputHandler();
  LockdownLock& lockdown = Lockdown();
  std::lock_guard guard(lockdown.mutex);
  if (handler->serviceRunning()) {
    // Taken again when the lockdown had to go on without it.
    handler->setSettingsHeldElsewhere(TakeSettingsLock(lockdown));
  }
  handler->stop();
  if (!handler->serviceRunning()) {
    lockdown.held.reset();
  }
  sharedDisplayHandler()->releaseDisplay();
}

}  // namespace osxnatives
