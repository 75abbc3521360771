// NSUserNotificationCenter: the default user notification centre and its
// delegate.
#ifndef OSXNATIVES_PLATFORM_NS_USER_NOTIFICATION_CENTER_H_
#define OSXNATIVES_PLATFORM_NS_USER_NOTIFICATION_CENTER_H_

#include <memory>
#include <optional>
#include <string>

#include "platform/registry.h"

namespace osxnatives::platform {

// An `NSUserNotification` as the delegate sees it.
struct NSUserNotification {
  std::optional<std::string> title;
};

class NSUserNotificationCenter;

// `NSUserNotificationCenterDelegate`. The centre calls it on the main thread.
class NSUserNotificationCenterDelegate {
 public:
  virtual ~NSUserNotificationCenterDelegate() = default;
  // A short name for the journal and for diagnostics.
  [[nodiscard]] virtual std::string delegateName() const = 0;
  virtual void userNotificationCenterDidDeliverNotification(
      NSUserNotificationCenter& center, const NSUserNotification& notification) = 0;
  virtual void userNotificationCenterDidActivateNotification(
      NSUserNotificationCenter& center, const NSUserNotification& notification) = 0;
  virtual bool userNotificationCenterShouldPresentNotification(
      NSUserNotificationCenter& center, const NSUserNotification& notification) = 0;
};

class NSUserNotificationCenter {
 public:
  virtual ~NSUserNotificationCenter() = default;
  // `delegate`: null when the centre has none. Thread-safe.
  virtual std::shared_ptr<NSUserNotificationCenterDelegate> delegate() = 0;
  // `setDelegate:`; null clears it. The centre keeps a reference. Thread-safe.
  virtual void setDelegate(std::shared_ptr<NSUserNotificationCenterDelegate> delegate) = 0;
};

// `[NSUserNotificationCenter defaultUserNotificationCenter]`.
}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_NS_USER_NOTIFICATION_CENTER_H_
