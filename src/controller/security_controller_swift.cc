#include "controller/security_controller_swift.h"

#include "controller/app_delegate_swift.h"
#include "events/event_listener_swift.h"
#include "platform/ns_application.h"
#include "utility/utility_swift.h"

namespace osxnatives {

SecurityControllerSwift::SecurityControllerSwift()
    : sharedAppDelegation(std::make_shared<AppDelegateSwift>()),
      sharedEventListener(std::make_shared<EventListenerSwift>()) {}
SecurityControllerSwift::~SecurityControllerSwift() = default;

const std::shared_ptr<SecurityControllerSwift>& SecurityControllerSwift::shared() {
  // Never destroyed: platform threads may still reach it while the process exits.
  static const auto* const instance =
      new std::shared_ptr<SecurityControllerSwift>(std::make_shared<SecurityControllerSwift>());
  return *instance;
}

void SecurityControllerSwift::setDockAndMenuHidden() {
  applyPresentation(kDockAndMenuHiddenOptions);
}

void SecurityControllerSwift::setUIModeAllHidden() { applyPresentation(kAllHiddenOptions); }

void SecurityControllerSwift::setUIModeDefault() { applyPresentation(kDefaultOptions); }

void SecurityControllerSwift::applyPresentation(uint64_t options) {
  platform::Get<platform::NSApplication>().SetPresentationOptions(options);
  UtilitySwift().enableUniversalClipboard(false);
  UtilitySwift().clearClipboard();
}

}  // namespace osxnatives
