// NSWorkspace and NSRunningApplication on macOS. Both are safe to use from
// any thread; the list of running applications is the one AppKit keeps up to
// date while the main thread runs its run loop.
#if !__has_feature(objc_arc)
#error "This file is built with automatic reference counting (-fobjc-arc)."
#endif

#import <AppKit/AppKit.h>

#include "platform/macos/objc_support.h"
#include "platform/macos/running_application.h"
#include "platform/macos/services.h"
#include "platform/ns_workspace.h"

namespace osxnatives::platform::macos {
namespace {

static_assert(kActivateAllWindows == NSApplicationActivateAllWindows);
static_assert(kActivateIgnoringOtherApps == NSApplicationActivateIgnoringOtherApps);

RunningApplication Snapshot(::NSRunningApplication* application) {
  return {application.processIdentifier, OptionalUTF8FromString(application.localizedName),
          OptionalUTF8FromString(application.bundleIdentifier)};
}

std::optional<RunningApplication> OptionalSnapshot(::NSRunningApplication* application) {
  if (application == nil) return std::nullopt;
  return Snapshot(application);
}

class Workspace : public NSWorkspace {
 public:
  std::vector<RunningApplication> runningApplications() override {
    std::vector<RunningApplication> applications;
    @autoreleasepool {
      NSArray<::NSRunningApplication*>* running =
          [::NSWorkspace sharedWorkspace].runningApplications;
      applications.reserve(running.count);
      for (::NSRunningApplication* application in running) {
        applications.push_back(Snapshot(application));
      }
    }
    return applications;
  }

  std::optional<RunningApplication> frontmostApplication() override {
    @autoreleasepool {
      return OptionalSnapshot([::NSWorkspace sharedWorkspace].frontmostApplication);
    }
  }

  std::optional<RunningApplication> runningApplicationWithProcessIdentifier(int32_t pid) override {
    @autoreleasepool {
      return OptionalSnapshot([::NSRunningApplication runningApplicationWithProcessIdentifier:pid]);
    }
  }

  RunningApplication currentApplication() override {
    @autoreleasepool {
      return Snapshot([::NSRunningApplication currentApplication]);
    }
  }

  bool activateWithOptions(const RunningApplication& application, uint64_t options) override {
    @autoreleasepool {
      ::NSRunningApplication* running = FindRunningApplication(application);
      return running != nil &&
             [running activateWithOptions:static_cast<NSApplicationActivationOptions>(options)];
    }
  }
};

}  // namespace

::NSRunningApplication* FindRunningApplication(const RunningApplication& snapshot) {
  NSString* bundleIdentifier = nil;
  if (snapshot.bundleIdentifier) {
    bundleIdentifier = StringFromUTF8(*snapshot.bundleIdentifier);
    if (bundleIdentifier == nil) return nil;
  }
  if (snapshot.processIdentifier > 0) {
    ::NSRunningApplication* application =
        [::NSRunningApplication runningApplicationWithProcessIdentifier:snapshot.processIdentifier];
    if (application == nil) return nil;
    if (bundleIdentifier != nil &&
        ![application.bundleIdentifier isEqualToString:bundleIdentifier]) {
      return nil;
    }
    return application;
  }
  if (bundleIdentifier == nil) return nil;
  return
      [::NSRunningApplication runningApplicationsWithBundleIdentifier:bundleIdentifier].firstObject;
}

void RegisterWorkspace() { SetDefault<NSWorkspace>(new Workspace()); }

}  // namespace osxnatives::platform::macos
