#include "controller/app_delegate_swift.h"

#include "common/host.h"
#include "platform/ns_application_main.h"

namespace osxnatives {

void AppDelegateSwift::registerURLEventHandler() {
  std::weak_ptr<const AppDelegateSwift> self = weak_from_this();
  platform::Get<platform::NSAppleEventManager>().setEventHandler(
      [self](const platform::NSAppleEventDescriptor& event,
             platform::NSAppleEventDescriptor& reply) {
        if (auto delegate = self.lock()) delegate->handleGetURLEvent(event, reply);
      },
      kInternetEventClass, kAEGetURL);
}

void AppDelegateSwift::handleGetURLEvent(const platform::NSAppleEventDescriptor& event,
                                         const platform::NSAppleEventDescriptor& /*reply*/) const {
  const std::optional<platform::NSAppleEventDescriptor> direct =
      event.paramDescriptorForKeyword(keyDirectObject);
  if (!direct) return;
  const std::optional<std::string>& url = direct->stringValue();
  if (!url) return;
  NavigateToUrl(*url);
}

int AppDelegateSwift::applicationMain(int argc, char** argv) {
  return platform::NSApplicationMain(argc, argv);
}

}  // namespace osxnatives
