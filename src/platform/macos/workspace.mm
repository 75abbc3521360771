// NSWorkspace and NSRunningApplication on macOS. Both are safe to use from
// any thread; the list of running applications is the one AppKit keeps up to
// date while the main thread runs its run loop.
#import <AppKit/AppKit.h>

#include "platform/macos/objc_support.h"
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

// The running application a snapshot was taken of: looked up by process id
// and, so that a reused id never activates another program, checked against
// the bundle identifier when the snapshot has one; by bundle identifier alone
// when the snapshot has no process id.
::NSRunningApplication* Find(const RunningApplication& snapshot) {
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
      ::NSRunningApplication* running = Find(application);
      return running != nil &&
             [running activateWithOptions:static_cast<NSApplicationActivationOptions>(options)];
    }
  }
};

}  // namespace

void RegisterWorkspace() { SetDefault<NSWorkspace>(new Workspace()); }

}  // namespace osxnatives::platform::macos
