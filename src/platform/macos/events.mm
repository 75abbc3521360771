// NSEvent monitors, the Apple event manager and NSApplicationMain on macOS.
//
// Monitors and Apple-event handlers are installed and removed on the calling
// Java thread; AppKit calls them on the main thread, each call inside a pool
// of its own. A handler that throws is reported in the system log; the event
// then goes on as if the handler had not been there.
#if !__has_feature(objc_arc)
#error "This file is built with automatic reference counting (-fobjc-arc)."
#endif

#import <AppKit/AppKit.h>

#include <cstdint>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/macos/objc_support.h"
#include "platform/macos/services.h"
#include "platform/ns_apple_event_manager.h"
#include "platform/ns_application_main.h"
#include "platform/ns_event.h"

namespace osxnatives::platform::macos {
namespace {

constexpr FourCharCode kDirectObjectKeyword = MakeFourCharCode("----");

static_assert(static_cast<::NSEventType>(platform::NSEventType::kKeyDown) == NSEventTypeKeyDown);
static_assert(static_cast<::NSEventType>(platform::NSEventType::kOtherMouseDown) ==
              NSEventTypeOtherMouseDown);
static_assert(static_cast<::NSEventType>(platform::NSEventType::kGesture) == NSEventTypeGesture);
static_assert(static_cast<::NSEventType>(platform::NSEventType::kPressure) == NSEventTypePressure);
static_assert(kEventMaskKeyDown == NSEventMaskKeyDown);
static_assert(kEventMaskOtherMouseDown == NSEventMaskOtherMouseDown);
static_assert(kEventMaskGesture == NSEventMaskGesture);
static_assert(kEventMaskPressure == NSEventMaskPressure);
static_assert(kEventModifierFlagCommand == NSEventModifierFlagCommand);
static_assert(kEventModifierFlagShift == NSEventModifierFlagShift);
static_assert(kEventModifierFlagOption == NSEventModifierFlagOption);

// Runs `body`, turning an exception into one system-log line. Returns whether
// `body` completed.
template <typename Body>
bool Contained(const char* what, Body&& body) {
  try {
    body();
    return true;
  } catch (const std::exception& e) {
    ::NSLog(@"%s threw: %s", what, e.what());
  } catch (...) {
    ::NSLog(@"%s threw an unknown exception", what);
  }
  return false;
}

bool IsKeyEvent(::NSEventType type) {
  return type == NSEventTypeKeyDown || type == NSEventTypeKeyUp || type == NSEventTypeFlagsChanged;
}

Event Snapshot(::NSEvent* event) {
  Event snapshot;
  snapshot.type = static_cast<platform::NSEventType>(event.type);
  // AppKit raises when a key code is asked of an event without a key.
  snapshot.keyCode = IsKeyEvent(event.type) ? event.keyCode : 0;
  snapshot.modifierFlags = event.modifierFlags;
  return snapshot;
}

// Key presses and releases, the events that carry characters.
bool IsCharacterEvent(::NSEventType type) {
  return type == NSEventTypeKeyDown || type == NSEventTypeKeyUp;
}

// The event to hand on when a local handler returned `changed` for `event`.
// Only key presses and releases can be rebuilt (with the original
// characters); any other change leaves the event as it was.
::NSEvent* Rebuilt(::NSEvent* event, const Event& changed) {
  const auto type = static_cast<::NSEventType>(changed.type);
  if (!IsCharacterEvent(event.type) || !IsCharacterEvent(type)) return event;
  ::NSEvent* rebuilt =
      [::NSEvent keyEventWithType:type
                             location:event.locationInWindow
                        modifierFlags:static_cast<NSEventModifierFlags>(changed.modifierFlags)
                            timestamp:event.timestamp
                         windowNumber:event.windowNumber
                              context:nil
                           characters:event.characters ?: @""
          charactersIgnoringModifiers:event.charactersIgnoringModifiers ?: @""
                            isARepeat:event.ARepeat
                              keyCode:changed.keyCode];
  return rebuilt != nil ? rebuilt : event;
}

::NSEvent* Filter(const LocalEventHandler& handler, ::NSEvent* event) {
  const Event snapshot = Snapshot(event);
  std::optional<Event> result = snapshot;
  if (!Contained("a local event monitor", [&] { result = handler(snapshot); })) return event;
  if (!result) return nil;
  return *result == snapshot ? event : Rebuilt(event, *result);
}

NSAppleEventDescriptor StringParameter(::NSAppleEventDescriptor* parameter) {
  NSString* text = parameter.stringValue;
  if (text == nil) return {};
  return NSAppleEventDescriptor::descriptorWithString(UTF8FromString(text));
}

// A copy of `event` with the string values of its parameters (nested
// parameters are not copied).
NSAppleEventDescriptor Converted(::NSAppleEventDescriptor* event) {
  NSAppleEventDescriptor converted =
      NSAppleEventDescriptor::appleEventWithEventClass(event.eventClass, event.eventID);
  const NSInteger count = event.numberOfItems;
  for (NSInteger index = 1; index <= count; ++index) {
    const AEKeyword keyword = [event keywordForDescriptorAtIndex:index];
    if (::NSAppleEventDescriptor* parameter = [event paramDescriptorForKeyword:keyword]) {
      converted.setParamDescriptor(StringParameter(parameter), keyword);
    }
  }
  if (!converted.paramDescriptorForKeyword(kDirectObjectKeyword)) {
    if (::NSAppleEventDescriptor* direct = [event paramDescriptorForKeyword:kDirectObjectKeyword]) {
      converted.setParamDescriptor(StringParameter(direct), kDirectObjectKeyword);
    }
  }
  return converted;
}

}  // namespace
}  // namespace osxnatives::platform::macos

// The target the Apple event manager calls for one (class, identifier) pair.
// The manager does not retain it; `AppleEvents` does.
@interface OSXNativesAppleEventTarget : NSObject
- (instancetype)initWithHandler:(osxnatives::platform::AppleEventHandler)handler;
- (void)handleAppleEvent:(NSAppleEventDescriptor*)event
          withReplyEvent:(NSAppleEventDescriptor*)reply;
@end

@implementation OSXNativesAppleEventTarget {
  osxnatives::platform::AppleEventHandler _handler;
}

- (instancetype)initWithHandler:(osxnatives::platform::AppleEventHandler)handler {
  if ((self = [super init])) _handler = std::move(handler);
  return self;
}

// The reply is handed to the handler empty; what the handler puts into it
// does not reach the sender.
- (void)handleAppleEvent:(NSAppleEventDescriptor*)event
          withReplyEvent:(NSAppleEventDescriptor*)reply {
  (void)reply;
  namespace macos = osxnatives::platform::macos;
  @autoreleasepool {
    // A handler that installs another for the same event releases this
    // target while it runs: nothing of `self` is touched after this copy.
    const osxnatives::platform::AppleEventHandler handler = _handler;
    const osxnatives::platform::NSAppleEventDescriptor converted = macos::Converted(event);
    osxnatives::platform::NSAppleEventDescriptor ignored;
    macos::Contained("an Apple event handler", [&] { handler(converted, ignored); });
  }
}
@end

namespace osxnatives::platform::macos {
namespace {

// A monitor's handler, shared between its block and each call in progress:
// a handler that removes its own monitor releases the block while it runs.
template <typename Handler>
using SharedHandler = std::shared_ptr<const Handler>;

// Installs a local monitor from the calling thread; AppKit calls it on the
// main thread. Returns AppKit's token or nil.
id InstallLocalMonitor(uint64_t mask, SharedHandler<LocalEventHandler> handler) {
  const SharedHandler<LocalEventHandler> captured = std::move(handler);
  return [::NSEvent addLocalMonitorForEventsMatchingMask:mask
                                                 handler:^::NSEvent*(::NSEvent* event) {
                                                   @autoreleasepool {
                                                     // NOLINTNEXTLINE(performance-*)
                                                     const auto running = captured;  // kept alive
                                                     return Filter(*running, event);
                                                   }
                                                 }];
}

// Installs a global monitor from the calling thread; AppKit calls it on the
// main thread. Returns AppKit's token or nil.
id InstallGlobalMonitor(uint64_t mask, SharedHandler<GlobalEventHandler> handler) {
  const SharedHandler<GlobalEventHandler> captured = std::move(handler);
  return [::NSEvent addGlobalMonitorForEventsMatchingMask:mask
                                                  handler:^(::NSEvent* event) {
                                                    @autoreleasepool {
                                                      // NOLINTNEXTLINE(performance-*)
                                                      const auto running = captured;
                                                      const Event snapshot = Snapshot(event);
                                                      Contained("a global event monitor",
                                                                [&] { (*running)(snapshot); });
                                                    }
                                                  }];
}

class EventMonitors : public NSEvent {
 public:
  std::optional<EventMonitor> addLocalMonitorForEventsMatchingMask(
      uint64_t mask, LocalEventHandler handler) override {
    if (!handler) return std::nullopt;
    @autoreleasepool {
      const auto shared = std::make_shared<const LocalEventHandler>(std::move(handler));
      return Remember(InstallLocalMonitor(mask, shared));
    }
  }

  std::optional<EventMonitor> addGlobalMonitorForEventsMatchingMask(
      uint64_t mask, GlobalEventHandler handler) override {
    if (!handler) return std::nullopt;
    @autoreleasepool {
      const auto shared = std::make_shared<const GlobalEventHandler>(std::move(handler));
      return Remember(InstallGlobalMonitor(mask, shared));
    }
  }

  void removeMonitor(EventMonitor monitor) override {
    @autoreleasepool {
      id token = nil;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = tokens_.find(monitor.id);
        if (it == tokens_.end()) return;
        token = it->second;
        tokens_.erase(it);
      }
      [::NSEvent removeMonitor:token];
    }
  }

 private:
  std::optional<EventMonitor> Remember(id token) {
    if (token == nil) return std::nullopt;
    std::lock_guard<std::mutex> lock(mutex_);
    const EventMonitor monitor{next_id_++};
    tokens_.emplace(monitor.id, token);
    return monitor;
  }

  std::mutex mutex_;
  std::map<uint64_t, id> tokens_;  // Guarded by mutex_.
  uint64_t next_id_ = 1;           // Guarded by mutex_.
};

class AppleEvents : public NSAppleEventManager {
 public:
  void setEventHandler(AppleEventHandler handler, FourCharCode eventClass,
                       FourCharCode eventID) override {
    @autoreleasepool {
      OSXNativesAppleEventTarget* target =
          [[OSXNativesAppleEventTarget alloc] initWithHandler:std::move(handler)];
      // Registered on the calling Java thread. The manager calls targets on
      // the main thread and does not retain them: every target is kept until
      // the process ends, so a replaced one is never released while it
      // handles an event.
      std::lock_guard<std::mutex> lock(mutex_);
      [[::NSAppleEventManager sharedAppleEventManager] setEventHandler:target
                                                           andSelector:@selector(handleAppleEvent:
                                                                                   withReplyEvent:)
                                                         forEventClass:eventClass
                                                            andEventID:eventID];
      targets_.push_back(target);
    }
  }

 private:
  std::mutex mutex_;
  std::vector<OSXNativesAppleEventTarget*> targets_;  // Guarded by mutex_.
};

class Main : public ApplicationMain {
 public:
  int Run(int argc, char** argv) override {
    @autoreleasepool {
      return ::NSApplicationMain(argc, const_cast<const char**>(argv));
    }
  }
};

}  // namespace

void RegisterEvents() {
  SetDefault<NSEvent>(new EventMonitors());
  SetDefault<NSAppleEventManager>(new AppleEvents());
  SetDefault<ApplicationMain>(new Main());
}

}  // namespace osxnatives::platform::macos
