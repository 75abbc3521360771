// The security controller's operations for the Apple-event handler and the
// event listener. The native methods call them on the shared controller, so
// that the handler and the monitors belong to one long-lived object.
#include "controller/app_delegate_swift.h"
#include "controller/security_controller_swift.h"
#include "events/event_listener_swift.h"

namespace osxnatives {

void SecurityControllerSwift::startAppDelegation() {
  sharedAppDelegation->registerURLEventHandler();
}

void SecurityControllerSwift::startEventListenerWithDeliveryMode(
    std::string_view deliveryMode, std::optional<std::string_view> client, bool isSystemTest) {
  sharedEventListener->startMonitoring(deliveryMode, client, isSystemTest);
}

void SecurityControllerSwift::stopEventListener() { sharedEventListener->stopMonitoring(); }

}  // namespace osxnatives
