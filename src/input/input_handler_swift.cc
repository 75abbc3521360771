#include "input/input_handler_swift.h"

#include "common/host.h"
#include "platform/cf_bundle.h"
#include "platform/ns_task.h"

namespace osxnatives {

InputHandlerSwift::InputHandlerSwift(bool inputDisabled)
    : inputDisabled_(inputDisabled),
      pathToCoreGraphicsBundle_(platform::kCoreGraphicsBundlePath),
      notificationCenter_(&platform::Get<platform::NSUserNotificationCenter>()) {
  notificationCenter_ = &platform::Get<platform::NSUserNotificationCenter>();
  originalDelegate_ = notificationCenter_->delegate();
}

void InputHandlerSwift::start() {
  if (serviceRunning_ && !inputDisabled_) {
    throw InternalInconsistencyException(
        std::string("InputHandler service was running though inputDisabled was ") +
        (inputDisabled_ ? "1" : "0"));
  }
  if (serviceRunning_ || !inputDisabled_) {
    return;
  }
  saveUserSettingsAndDisable();
  runLockCommands();
  serviceRunning_ = true;
  Log("Notification center disabled", "INFO");
}

void InputHandlerSwift::stop() {
  if (!serviceRunning_) {
    return;
  }
  restoreUserSettings();
  runUnlockCommands();
  notificationCenter_->setDelegate(originalDelegate_);
  serviceRunning_ = false;
  Log("Notification center enabled", "INFO");
}

void InputHandlerSwift::runLockCommands() {
  for (const char* command : kLockCommands) {
    runShellCommand(command);
  }
}

void InputHandlerSwift::runUnlockCommands() {
  for (const char* command : kUnlockCommands) {
    runShellCommand(command);
  }
}

void InputHandlerSwift::runShellCommand(const std::string& command) {
  platform::TaskOutcome outcome =
      platform::Get<platform::NSTask>().launchAndWait("/bin/bash", {"-c", command});
  if (!outcome.launched) {
    Log("Unable to run shell command: " + outcome.error, "ERROR");
  }
}

void InputHandlerSwift::userNotificationCenterDidDeliverNotification(
    platform::NSUserNotificationCenter& /*center*/,
    const platform::NSUserNotification& notification) {
  Log("UserNotificationCenter didDeliverNotification: " + notification.title.value_or(""), "INFO");
}

void InputHandlerSwift::userNotificationCenterDidActivateNotification(
    platform::NSUserNotificationCenter& /*center*/,
    const platform::NSUserNotification& notification) {
  Log("UserNotificationCenter didActivateNotification: " + notification.title.value_or(""), "INFO");
}

bool InputHandlerSwift::userNotificationCenterShouldPresentNotification(
    platform::NSUserNotificationCenter& /*center*/,
    const platform::NSUserNotification& notification) {
  Log("UserNotificationCenter shouldPresentNotification: " + notification.title.value_or(""),
      "INFO");
  return true;
}

}  // namespace osxnatives
