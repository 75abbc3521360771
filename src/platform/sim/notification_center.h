// Simulated default user notification centre.
#ifndef OSXNATIVES_PLATFORM_SIM_NOTIFICATION_CENTER_H_
#define OSXNATIVES_PLATFORM_SIM_NOTIFICATION_CENTER_H_

#include <memory>
#include <mutex>
#include <string>

#include "platform/ns_user_notification_center.h"
#include "platform/sim/desktop.h"

namespace osxnatives::platform::sim {

// The scenario key "notificationCenterDelegate" (text) gives the centre a
// delegate of that name at the start, standing in for one the host installed;
// without it the centre has none. `setDelegate:` journals
// "NSUserNotificationCenter" "setDelegate:" {"delegate": name or null}.
class SimNotificationCenter : public NSUserNotificationCenter {
 public:
  explicit SimNotificationCenter(Desktop& desktop);

  std::shared_ptr<NSUserNotificationCenterDelegate> delegate() override;
  void setDelegate(std::shared_ptr<NSUserNotificationCenterDelegate> delegate) override;

 private:
  Desktop& desktop_;
  std::mutex mutex_;
  std::shared_ptr<NSUserNotificationCenterDelegate> delegate_;  // Guarded by mutex_.
};

// A delegate that only has a name; its callbacks do nothing and present
// every notification.
class NamedDelegate : public NSUserNotificationCenterDelegate {
 public:
  explicit NamedDelegate(std::string name) : name_(std::move(name)) {}
  [[nodiscard]] std::string delegateName() const override { return name_; }
  void userNotificationCenterDidDeliverNotification(NSUserNotificationCenter& /*center*/,
                                                    const NSUserNotification& /*n*/) override {}
  void userNotificationCenterDidActivateNotification(NSUserNotificationCenter& /*center*/,
                                                     const NSUserNotification& /*n*/) override {}
  bool userNotificationCenterShouldPresentNotification(NSUserNotificationCenter& /*center*/,
                                                       const NSUserNotification& /*n*/) override {
    return true;
  }

 private:
  std::string name_;
};

}  // namespace osxnatives::platform::sim

#endif  // OSXNATIVES_PLATFORM_SIM_NOTIFICATION_CENTER_H_
