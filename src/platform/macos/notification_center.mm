// NSUserNotificationCenter on macOS: the default centre's delegate.
//
// The centre holds its delegate without retaining it and calls it on the
// main thread. A delegate of ours is installed as an Objective-C object that
// forwards the three callbacks; a delegate the host installed is handed out
// as a C++ object that keeps it alive, so that putting it back installs the
// host's own object again.
//
// The input lockdown names the NSUserNotification API, which macOS 11
// deprecates in favour of the UserNotifications framework; every use below
// silences that warning for its own lines only.
#if !__has_feature(objc_arc)
#error "This file is built with automatic reference counting (-fobjc-arc)."
#endif

#import <Foundation/Foundation.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/macos/cf_json.h"
#include "platform/macos/services.h"
#include "platform/ns_user_notification_center.h"
#include "platform/registry.h"

namespace osxnatives::platform::macos {
namespace {

using CppCenter = ::osxnatives::platform::NSUserNotificationCenter;
using CppDelegate = ::osxnatives::platform::NSUserNotificationCenterDelegate;
using CppNotification = ::osxnatives::platform::NSUserNotification;

#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wdeprecated-declarations"  // The API the lockdown names.
CppNotification FromFoundation(::NSUserNotification* notification) {
  CppNotification converted;
  if (NSString* title = notification.title; title != nil) {
    converted.title = Utf8FromCFString((__bridge CFStringRef)title);
  }
  return converted;
}
#pragma clang diagnostic pop

}  // namespace
}  // namespace osxnatives::platform::macos

// Forwards the centre's callbacks to one delegate of ours. Called on the main
// thread; a C++ exception from the delegate ends there.
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wdeprecated-declarations"  // The protocol the centre calls.
@interface OSXNativesNotificationCenterDelegate : NSObject <NSUserNotificationCenterDelegate>
#pragma clang diagnostic pop
- (instancetype)initWithDelegate:(std::shared_ptr<osxnatives::platform::macos::CppDelegate>)delegate
                          center:(osxnatives::platform::macos::CppCenter*)center;
- (std::shared_ptr<osxnatives::platform::macos::CppDelegate>)cppDelegate;
@end

@implementation OSXNativesNotificationCenterDelegate {
  std::shared_ptr<osxnatives::platform::macos::CppDelegate> _delegate;
  osxnatives::platform::macos::CppCenter* _center;  // Lives until the process ends.
}

- (instancetype)initWithDelegate:(std::shared_ptr<osxnatives::platform::macos::CppDelegate>)delegate
                          center:(osxnatives::platform::macos::CppCenter*)center {
  if ((self = [super init])) {
    _delegate = std::move(delegate);
    _center = center;
  }
  return self;
}

- (std::shared_ptr<osxnatives::platform::macos::CppDelegate>)cppDelegate {
  return _delegate;
}

#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wdeprecated-declarations"  // The callbacks the centre makes.
- (void)userNotificationCenter:(NSUserNotificationCenter*)center
        didDeliverNotification:(NSUserNotification*)notification {
  @autoreleasepool {
    try {
      _delegate->userNotificationCenterDidDeliverNotification(
          *_center, osxnatives::platform::macos::FromFoundation(notification));
    } catch (...) {
    }
  }
}

- (void)userNotificationCenter:(NSUserNotificationCenter*)center
       didActivateNotification:(NSUserNotification*)notification {
  @autoreleasepool {
    try {
      _delegate->userNotificationCenterDidActivateNotification(
          *_center, osxnatives::platform::macos::FromFoundation(notification));
    } catch (...) {
    }
  }
}

// A failing delegate leaves the centre's own choice: not presented.
- (BOOL)userNotificationCenter:(NSUserNotificationCenter*)center
     shouldPresentNotification:(NSUserNotification*)notification {
  @autoreleasepool {
    try {
      return _delegate->userNotificationCenterShouldPresentNotification(
                 *_center, osxnatives::platform::macos::FromFoundation(notification))
                 ? YES
                 : NO;
    } catch (...) {
      return NO;
    }
  }
}
#pragma clang diagnostic pop

@end

namespace osxnatives::platform::macos {
namespace {

#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wdeprecated-declarations"  // The centre the lockdown names.
::NSUserNotificationCenter* DefaultCenter() {
  return [::NSUserNotificationCenter defaultUserNotificationCenter];
}

id<NSUserNotificationCenterDelegate> CenterDelegate() { return DefaultCenter().delegate; }

void SetCenterDelegate(id<NSUserNotificationCenterDelegate> delegate) {
  DefaultCenter().delegate = delegate;
}
#pragma clang diagnostic pop

// A delegate that the host installed. Keeps it alive; its callbacks reach the
// host's object on the calling thread with a notification carrying the title.
class HostDelegate : public CppDelegate {
 public:
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wdeprecated-declarations"  // The host's delegate protocol.
  explicit HostDelegate(id<NSUserNotificationCenterDelegate> object) : object_(object) {}

  [[nodiscard]] id<NSUserNotificationCenterDelegate> object() const { return object_; }
#pragma clang diagnostic pop

  [[nodiscard]] std::string delegateName() const override {
    @autoreleasepool {
      return Utf8FromCFString((__bridge CFStringRef)NSStringFromClass([object_ class]));
    }
  }

  void userNotificationCenterDidDeliverNotification(CppCenter& /*center*/,
                                                    const CppNotification& notification) override {
    @autoreleasepool {
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wdeprecated-declarations"  // The host's delegate protocol.
      if ([object_ respondsToSelector:@selector(userNotificationCenter:didDeliverNotification:)]) {
        [object_ userNotificationCenter:DefaultCenter()
                 didDeliverNotification:ToFoundation(notification)];
      }
#pragma clang diagnostic pop
    }
  }

  void userNotificationCenterDidActivateNotification(CppCenter& /*center*/,
                                                     const CppNotification& notification) override {
    @autoreleasepool {
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wdeprecated-declarations"  // The host's delegate protocol.
      if ([object_ respondsToSelector:@selector(userNotificationCenter:didActivateNotification:)]) {
        [object_ userNotificationCenter:DefaultCenter()
                didActivateNotification:ToFoundation(notification)];
      }
#pragma clang diagnostic pop
    }
  }

  // A host delegate without this callback leaves the centre's own choice.
  bool userNotificationCenterShouldPresentNotification(
      CppCenter& /*center*/, const CppNotification& notification) override {
    @autoreleasepool {
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wdeprecated-declarations"  // The host's delegate protocol.
      if ([object_ respondsToSelector:@selector(userNotificationCenter:
                                             shouldPresentNotification:)]) {
        return [object_ userNotificationCenter:DefaultCenter()
                     shouldPresentNotification:ToFoundation(notification)] == YES;
      }
#pragma clang diagnostic pop
      return false;
    }
  }

 private:
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wdeprecated-declarations"  // The notification the host expects.
  static ::NSUserNotification* ToFoundation(const CppNotification& notification) {
    ::NSUserNotification* converted = [[::NSUserNotification alloc] init];
    if (notification.title) {
      converted.title = CFBridgingRelease(CreateCFStringFromUtf8(*notification.title));
    }
    return converted;
  }

  id<NSUserNotificationCenterDelegate> object_;
#pragma clang diagnostic pop
};

class DefaultNotificationCenter : public CppCenter {
 public:
  std::shared_ptr<CppDelegate> delegate() override {
    @autoreleasepool {
      std::lock_guard<std::mutex> lock(mutex_);
      id current = CenterDelegate();
      if (current == nil) {
        return nullptr;
      }
      if ([current isKindOfClass:[OSXNativesNotificationCenterDelegate class]]) {
        return [static_cast<OSXNativesNotificationCenterDelegate*>(current) cppDelegate];
      }
      // The same host object gives the same C++ object each time.
      if (host_ == nullptr || host_->object() != current) {
        host_ = std::make_shared<HostDelegate>(current);
      }
      return host_;
    }
  }

  void setDelegate(std::shared_ptr<CppDelegate> delegate) override {
    @autoreleasepool {
      std::lock_guard<std::mutex> lock(mutex_);
      id replacement = nil;
      if (auto* host = dynamic_cast<HostDelegate*>(delegate.get())) {
        replacement = host->object();
      } else if (delegate != nullptr) {
        replacement = [[OSXNativesNotificationCenterDelegate alloc] initWithDelegate:delegate
                                                                              center:this];
        // The centre does not retain its delegate and may be calling one that
        // is replaced later on the main thread, so no adapter of ours is ever
        // released: one small object per lockdown.
        adapters_.push_back(replacement);
      }
      SetCenterDelegate(replacement);
    }
  }

 private:
  std::mutex mutex_;
  std::vector<id> adapters_;            // Every adapter we installed. Guarded by mutex_.
  std::shared_ptr<HostDelegate> host_;  // Guarded by mutex_.
};

}  // namespace

void RegisterNotificationCenter() { SetDefault<CppCenter>(new DefaultNotificationCenter()); }

}  // namespace osxnatives::platform::macos
