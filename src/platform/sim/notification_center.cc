#include "platform/sim/notification_center.h"

#include "platform/sim/services.h"

namespace osxnatives::platform {

NSUserNotificationCenter& SimNSUserNotificationCenter() {
  static auto* const center = new sim::SimNotificationCenter(sim::Desktop::Instance());
  return *center;
}

namespace sim {

SimNotificationCenter::SimNotificationCenter(Desktop& desktop) : desktop_(desktop) {
  if (auto name = desktop.scenario().String("notificationCenterDelegate")) {
    delegate_ = std::make_shared<NamedDelegate>(*name);
  }
}

std::shared_ptr<NSUserNotificationCenterDelegate> SimNotificationCenter::delegate() {
  std::lock_guard<std::mutex> lock(mutex_);
  return delegate_;
}

void SimNotificationCenter::setDelegate(
    std::shared_ptr<NSUserNotificationCenterDelegate> delegate) {
  nlohmann::json name = delegate != nullptr ? nlohmann::json(delegate->delegateName()) : nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    delegate_ = std::move(delegate);
  }
  desktop_.journal().Record("NSUserNotificationCenter", "setDelegate:", {{"delegate", name}});
}

}  // namespace sim
}  // namespace osxnatives::platform
