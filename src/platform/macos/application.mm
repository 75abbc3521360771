// NSApplication (presentation options, key window, yielding activation),
// NSPasteboard and NSUserDefaults on macOS.
//
// The application object is the host's: this file never creates one (a Java
// host creates its own when its toolkit starts, and a second, plain one would
// take its place). Without one, presentation options stay unset and read as
// the default, and there is no key window. Every call runs on the calling
// thread, AppKit's main-thread rule notwithstanding (the Mac checklist lists
// what to watch for): nothing here waits for the main thread, which a host
// started with -XstartOnFirstThread may be holding in Java.
#if !__has_feature(objc_arc)
#error "This file is built with automatic reference counting (-fobjc-arc)."
#endif

#import <AppKit/AppKit.h>
#include <objc/message.h>

#include <memory>

#include "platform/macos/objc_support.h"
#include "platform/macos/running_application.h"
#include "platform/macos/services.h"
#include "platform/ns_application.h"
#include "platform/ns_pasteboard.h"
#include "platform/ns_user_defaults.h"

namespace osxnatives::platform::macos {
namespace {

static_assert(kPresentationDefault == NSApplicationPresentationDefault);
static_assert(kPresentationHideDock == NSApplicationPresentationHideDock);
static_assert(kPresentationHideMenuBar == NSApplicationPresentationHideMenuBar);
static_assert(kPresentationDisableAppleMenu == NSApplicationPresentationDisableAppleMenu);
static_assert(kPresentationDisableProcessSwitching ==
              NSApplicationPresentationDisableProcessSwitching);
static_assert(kPresentationDisableForceQuit == NSApplicationPresentationDisableForceQuit);
static_assert(kPresentationDisableSessionTermination ==
              NSApplicationPresentationDisableSessionTermination);
static_assert(kPresentationDisableHideApplication ==
              NSApplicationPresentationDisableHideApplication);

class Application : public NSApplication {
 public:
  void SetPresentationOptions(uint64_t options) override {
    @autoreleasepool {
      @try {
        NSApp.presentationOptions = static_cast<NSApplicationPresentationOptions>(options);
      } @catch (NSException* exception) {
        // AppKit refuses combinations it does not support (for example
        // process switching disabled while the Dock is shown) by raising.
        ::NSLog(@"setPresentationOptions: %lu refused: %@", static_cast<unsigned long>(options),
                exception.reason);
      }
    }
  }

  uint64_t PresentationOptions() const override {
    @autoreleasepool {
      ::NSApplication* application = NSApp;
      return application != nil ? application.presentationOptions : kPresentationDefault;
    }
  }

  std::optional<std::string> KeyWindowTitle() const override {
    @autoreleasepool {
      ::NSWindow* window = NSApp.keyWindow;
      if (window == nil) return std::nullopt;
      return UTF8FromString(window.title);
    }
  }

  void YieldActivationToApplication(const RunningApplication& application) override {
    @autoreleasepool {
      // macOS 14 and later; newer than the SDK this builds against.
      SEL yield = NSSelectorFromString(@"yieldActivationToApplication:");
      ::NSApplication* host = NSApp;
      if (host == nil || ![host respondsToSelector:yield]) return;
      ::NSRunningApplication* target = FindRunningApplication(application);
      if (target == nil) return;
      using YieldFunction = void (*)(id, SEL, ::NSRunningApplication*);
      reinterpret_cast<YieldFunction>(objc_msgSend)(host, yield, target);
    }
  }
};

class Pasteboard : public NSPasteboard {
 public:
  void ClearContents() override {
    @autoreleasepool {
      [[::NSPasteboard generalPasteboard] clearContents];
    }
  }
};

class DefaultsSuite : public UserDefaultsSuite {
 public:
  explicit DefaultsSuite(::NSUserDefaults* defaults) : defaults_(defaults) {}

  void SetInteger(std::string_view key, int64_t value) override {
    @autoreleasepool {
      NSString* name = StringFromUTF8(key);
      if (name == nil) return;
      [defaults_ setInteger:static_cast<NSInteger>(value) forKey:name];
    }
  }

 private:
  ::NSUserDefaults* const defaults_;
};

class UserDefaults : public NSUserDefaults {
 public:
  std::unique_ptr<UserDefaultsSuite> InitWithSuiteName(std::string_view suite) override {
    @autoreleasepool {
      // An empty or unreadable name names no domain; passing nil instead would
      // open the application's own preferences.
      NSString* name = StringFromUTF8(suite);
      if (name == nil || name.length == 0) return nullptr;
      ::NSUserDefaults* defaults = [[::NSUserDefaults alloc] initWithSuiteName:name];
      if (defaults == nil) return nullptr;
      return std::make_unique<DefaultsSuite>(defaults);
    }
  }
};

}  // namespace

void RegisterApplication() {
  SetDefault<NSApplication>(new Application());
  SetDefault<NSPasteboard>(new Pasteboard());
  SetDefault<NSUserDefaults>(new UserDefaults());
}

}  // namespace osxnatives::platform::macos
