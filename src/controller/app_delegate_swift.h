// AppDelegateSwift: receives the get-URL Apple event that the operating system
// sends when it opens a URL with the application, and hands the URL to the
// host unchanged.
#ifndef OSXNATIVES_CONTROLLER_APP_DELEGATE_SWIFT_H_
#define OSXNATIVES_CONTROLLER_APP_DELEGATE_SWIFT_H_

#include <memory>

#include "platform/ns_apple_event_manager.h"

namespace osxnatives {

class AppDelegateSwift : public std::enable_shared_from_this<AppDelegateSwift> {
 public:
  // kInternetEventClass, kAEGetURL and keyDirectObject.
  static constexpr platform::FourCharCode kInternetEventClass = platform::MakeFourCharCode("GURL");
  static constexpr platform::FourCharCode kAEGetURL = platform::MakeFourCharCode("GURL");
  static constexpr platform::FourCharCode keyDirectObject = platform::MakeFourCharCode("----");

  AppDelegateSwift() = default;
  AppDelegateSwift(const AppDelegateSwift&) = delete;
  AppDelegateSwift& operator=(const AppDelegateSwift&) = delete;

  // Installs this delegate as the handler of the get-URL event, replacing any
  // earlier handler of that event. The platform refers to the delegate weakly
  // (the owner keeps it alive; once it is gone, get-URL events are ignored),
  // so it must be owned by a shared_ptr. Runs on the calling thread.
  void registerURLEventHandler();

  // The handler: sends the direct parameter's text to the host's
  // navigateToUrl, byte for byte. An event without a direct parameter, or
  // whose parameter has no text, is ignored silently. `reply` is not used.
  // Called on the platform's main thread.
  void handleGetURLEvent(const platform::NSAppleEventDescriptor& event,
                         const platform::NSAppleEventDescriptor& reply) const;

  // NSApplicationMain with the process's arguments; returns its status. The
  // library's exported `main` exits with it.
  static int applicationMain(int argc, char** argv);
};

}  // namespace osxnatives

#endif  // OSXNATIVES_CONTROLLER_APP_DELEGATE_SWIFT_H_
