// The services of the integrity report on macOS: the machine's identity
// (sysctlbyname, IOPlatformExpertDevice), what CoreGraphics says of each
// display, AVFoundation's video capture devices, the sharing type of the
// host's own windows, and NSWorkspace's launch and termination notifications.
#if !__has_feature(objc_arc)
#error "This file is built with automatic reference counting (-fobjc-arc)."
#endif

#import <AVFoundation/AVFoundation.h>
#import <AppKit/AppKit.h>
#include <CoreGraphics/CoreGraphics.h>
#include <IOKit/IOKitLib.h>
#include <objc/message.h>
#include <sys/sysctl.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/av_capture_discovery.h"
#include "platform/cg_display.h"
#include "platform/machine_identity.h"
#include "platform/macos/objc_support.h"
#include "platform/macos/scoped_cf.h"
#include "platform/macos/services.h"
#include "platform/ns_window_sharing.h"
#include "platform/ns_workspace_notifications.h"

namespace osxnatives::platform::macos {
namespace {

static_assert(kNSWindowSharingNone == ::NSWindowSharingNone);
static_assert(kNSWindowSharingReadOnly == ::NSWindowSharingReadOnly);

std::string ErrnoText(int error) { return std::strerror(error); }

// ---- Machine identity ----------------------------------------------------

MachineFact IntegerSysctl(const char* name) {
  MachineFact fact{"sysctlbyname", name, MachineFactKind::kHypervisorPresent, {}, std::nullopt};
  int value = 0;
  size_t size = sizeof value;
  if (::sysctlbyname(name, &value, &size, nullptr, 0) != 0) {
    // ENOENT: a system that predates the name cannot tell.
    fact.unknownReason = "sysctlbyname failed: " + ErrnoText(errno);
  } else if (size != sizeof value) {
    fact.unknownReason = "sysctlbyname answered " + std::to_string(size) + " bytes, not an int";
  } else {
    fact.value = static_cast<int64_t>(value);
  }
  return fact;
}

MachineFact TextSysctl(const char* name) {
  MachineFact fact{"sysctlbyname", name, MachineFactKind::kHardwareName, {}, std::nullopt};
  size_t size = 0;
  if (::sysctlbyname(name, nullptr, &size, nullptr, 0) != 0 || size == 0) {
    fact.unknownReason = "sysctlbyname failed: " + ErrnoText(errno);
    return fact;
  }
  std::vector<char> buffer(size + 1, '\0');
  if (::sysctlbyname(name, buffer.data(), &size, nullptr, 0) != 0) {
    fact.unknownReason = "sysctlbyname failed: " + ErrnoText(errno);
    return fact;
  }
  fact.value = std::string(buffer.data(), strnlen(buffer.data(), size));
  return fact;
}

// A property of the IOPlatformExpertDevice entry: text, or zero-terminated
// text in data (as "model" and "manufacturer" are kept).
MachineFact PlatformProperty(io_registry_entry_t entry, const char* name) {
  MachineFact fact{
      "IOPlatformExpertDevice", name, MachineFactKind::kHardwareName, {}, std::nullopt};
  if (entry == IO_OBJECT_NULL) {
    fact.unknownReason = "no IOPlatformExpertDevice in the registry";
    return fact;
  }
  @autoreleasepool {
    NSString* key = [NSString stringWithUTF8String:name];
    ScopedCFTypeRef<CFTypeRef> value(::IORegistryEntryCreateCFProperty(
        entry, (__bridge CFStringRef)key, kCFAllocatorDefault, 0));
    if (!value) {
      fact.unknownReason = "the entry has no such property";
    } else if (CFGetTypeID(value.get()) == CFStringGetTypeID()) {
      fact.value = UTF8FromString((__bridge NSString*)value.get());
    } else if (CFGetTypeID(value.get()) == CFDataGetTypeID()) {
      const auto* bytes =
          reinterpret_cast<const char*>(CFDataGetBytePtr(static_cast<CFDataRef>(value.get())));
      const size_t length =
          static_cast<size_t>(CFDataGetLength(static_cast<CFDataRef>(value.get())));
      fact.value = bytes != nullptr ? std::string(bytes, strnlen(bytes, length)) : std::string();
    } else {
      fact.unknownReason = "the property is neither text nor data";
    }
  }
  return fact;
}

class MacMachineIdentity : public MachineIdentity {
 public:
  std::vector<MachineFact> ReadMachineFacts() override {
    std::vector<MachineFact> facts = {IntegerSysctl("kern.hv_vmm_present"), TextSysctl("hw.model")};
    // MACH_PORT_NULL is the default main port on every system.
    ScopedIOObject entry(::IOServiceGetMatchingService(
        MACH_PORT_NULL, ::IOServiceMatching("IOPlatformExpertDevice")));
    facts.push_back(PlatformProperty(entry.get(), "model"));
    facts.push_back(PlatformProperty(entry.get(), "manufacturer"));
    return facts;
  }
};

// ---- Displays ----------------------------------------------------------------

class MacDisplayProperties : public CGDisplayProperties {
 public:
  std::optional<CGDisplayDescription> describeDisplay(CGDirectDisplayID display) override {
    if (!::CGDisplayIsOnline(display)) return std::nullopt;
    const CGSize size = ::CGDisplayScreenSize(display);
    CGDisplayDescription d;
    d.isMain = ::CGDisplayIsMain(display) != 0;
    d.isBuiltin = ::CGDisplayIsBuiltin(display) != 0;
    d.mirrorsDisplay = ::CGDisplayMirrorsDisplay(display);
    d.vendorNumber = ::CGDisplayVendorNumber(display);
    d.modelNumber = ::CGDisplayModelNumber(display);
    d.serialNumber = ::CGDisplaySerialNumber(display);
    d.widthMillimetres = size.width;
    d.heightMillimetres = size.height;
    d.pixelsWide = ::CGDisplayPixelsWide(display);
    d.pixelsHigh = ::CGDisplayPixelsHigh(display);
    return d;
  }
};

// ---- Cameras -------------------------------------------------------------------

// The device types to discover: those of the SDK, and from macOS 14 the
// external and Continuity Camera types by their names, which the SDK this
// builds against does not declare.
NSArray<AVCaptureDeviceType>* VideoDeviceTypes() {
  NSMutableArray<AVCaptureDeviceType>* types =
      [NSMutableArray arrayWithObjects:AVCaptureDeviceTypeBuiltInWideAngleCamera,
                                       AVCaptureDeviceTypeExternalUnknown, nil];
  if (@available(macOS 14.0, *)) {
    [types addObjectsFromArray:@[
      @"AVCaptureDeviceTypeExternal", @"AVCaptureDeviceTypeContinuityCamera",
      @"AVCaptureDeviceTypeDeskViewCamera"
    ]];
  }
  return types;
}

// `isContinuityCamera` (macOS 13) through the runtime; nullopt before it.
std::optional<bool> IsContinuityCamera(::AVCaptureDevice* device) {
  SEL selector = NSSelectorFromString(@"isContinuityCamera");
  if (![device respondsToSelector:selector]) return std::nullopt;
  using Getter = BOOL (*)(id, SEL);
  return reinterpret_cast<Getter>(objc_msgSend)(device, selector) == YES;
}

class MacCaptureDevices : public AVCaptureDeviceDiscovery {
 public:
  CaptureDeviceList videoDevices() override {
    CaptureDeviceList list;
    @autoreleasepool {
      NSArray<::AVCaptureDevice*>* devices = nil;
      @try {
        devices = [AVCaptureDeviceDiscoverySession
                      discoverySessionWithDeviceTypes:VideoDeviceTypes()
                                            mediaType:AVMediaTypeVideo
                                             position:AVCaptureDevicePositionUnspecified]
                      .devices;
      } @catch (NSException* exception) {
        list.unknownReason = "AVCaptureDeviceDiscoverySession raised " +
                             UTF8FromString(exception.name) + ": " +
                             UTF8FromString(exception.reason);
        return list;
      }
      for (::AVCaptureDevice* device in devices) {
        CaptureDeviceInfo info;
        info.uniqueID = OptionalUTF8FromString(device.uniqueID);
        info.localizedName = OptionalUTF8FromString(device.localizedName);
        info.modelID = OptionalUTF8FromString(device.modelID);
        info.manufacturer = OptionalUTF8FromString(device.manufacturer);
        info.deviceType = OptionalUTF8FromString(device.deviceType);
        info.continuityCamera = IsContinuityCamera(device);
        if (info.deviceType == "AVCaptureDeviceTypeContinuityCamera") info.continuityCamera = true;
        list.devices.push_back(std::move(info));
      }
    }
    return list;
  }
};

// ---- The host's windows ---------------------------------------------------------

class MacWindowSharing : public NSWindowSharing {
 public:
  HostWindowList windows() override {
    HostWindowList list;
    @autoreleasepool {
      ::NSApplication* application = NSApp;
      if (application == nil) {
        list.unknownReason = "no NSApplication in this process";
        return list;
      }
      for (::NSWindow* window in application.windows) {
        list.windows.push_back(
            {static_cast<int64_t>(window.windowNumber), static_cast<int64_t>(window.sharingType)});
      }
    }
    return list;
  }

  bool setSharingType(int64_t windowNumber, int64_t sharingType) override {
    @autoreleasepool {
      ::NSApplication* application = NSApp;
      ::NSWindow* window =
          [application windowWithWindowNumber:static_cast<NSInteger>(windowNumber)];
      if (window == nil) return false;
      window.sharingType = static_cast<::NSWindowSharingType>(sharingType);
      return true;
    }
  }
};

// ---- Launches and terminations ------------------------------------------------------

// Lets the observers' blocks call the handler only while the observers are
// in place. Recursive, so that a handler may stop the watch itself.
struct HandlerGate {
  std::recursive_mutex mutex;
  ApplicationLifecycleHandler handler;  // Guarded by mutex; empty once removed.
};

class MacWorkspaceNotifications : public NSWorkspaceNotifications {
 public:
  std::optional<std::string> addObservers(ApplicationLifecycleHandler handler,
                                          std::string* reason) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (gate_ != nullptr) {
      if (reason != nullptr) *reason = "observers already added";
      return std::nullopt;
    }
    auto gate = std::make_shared<HandlerGate>();
    gate->handler = std::move(handler);
    @autoreleasepool {
      NSNotificationCenter* center = [::NSWorkspace sharedWorkspace].notificationCenter;
      // No queue: each block runs where AppKit posts the notification, on
      // the main thread.
      launch_ = [center addObserverForName:NSWorkspaceDidLaunchApplicationNotification
                                    object:nil
                                     queue:nil
                                usingBlock:^(NSNotification* notification) {
                                  Forward(gate, notification, true);
                                }];
      terminate_ = [center addObserverForName:NSWorkspaceDidTerminateApplicationNotification
                                       object:nil
                                        queue:nil
                                   usingBlock:^(NSNotification* notification) {
                                     Forward(gate, notification, false);
                                   }];
    }
    gate_ = std::move(gate);
    return "NSWorkspace notifications";
  }

  void removeObservers() override {
    std::shared_ptr<HandlerGate> gate;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (gate_ == nullptr) return;
      @autoreleasepool {
        NSNotificationCenter* center = [::NSWorkspace sharedWorkspace].notificationCenter;
        [center removeObserver:launch_];
        [center removeObserver:terminate_];
        launch_ = nil;
        terminate_ = nil;
      }
      gate = std::move(gate_);
    }
    // Not under mutex_: waits for a block in its handler on another thread,
    // and that handler may itself start a new watch. A block already past
    // the removal finds no handler.
    std::lock_guard<std::recursive_mutex> gate_lock(gate->mutex);
    gate->handler = nullptr;
  }

 private:
  static void Forward(const std::shared_ptr<HandlerGate>& gate, NSNotification* notification,
                      bool launched) {
    @autoreleasepool {
      try {
        ApplicationLifecycleEvent event;
        event.launched = launched;
        id application = notification.userInfo[NSWorkspaceApplicationKey];
        if ([application isKindOfClass:[::NSRunningApplication class]]) {
          ::NSRunningApplication* running = application;
          event.application = {running.processIdentifier,
                               OptionalUTF8FromString(running.localizedName),
                               OptionalUTF8FromString(running.bundleIdentifier)};
        }
        std::lock_guard<std::recursive_mutex> lock(gate->mutex);
        if (gate->handler) gate->handler(event);
      } catch (...) {
        // Nothing unwinds through AppKit's frames.
      }
    }
  }

  std::mutex mutex_;
  std::shared_ptr<HandlerGate> gate_;  // Guarded by mutex_.
  id<NSObject> launch_;                // Guarded by mutex_.
  id<NSObject> terminate_;             // Guarded by mutex_.
};

}  // namespace

void RegisterIntegrity() {
  SetDefault<MachineIdentity>(new MacMachineIdentity());
  SetDefault<CGDisplayProperties>(new MacDisplayProperties());
  SetDefault<AVCaptureDeviceDiscovery>(new MacCaptureDevices());
  SetDefault<NSWindowSharing>(new MacWindowSharing());
  SetDefault<NSWorkspaceNotifications>(new MacWorkspaceNotifications());
}

}  // namespace osxnatives::platform::macos
