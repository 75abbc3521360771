// NSEvent monitors: handlers the platform calls with input events, on its main
// thread. A local monitor sees the events addressed to this application and
// may swallow them; a global monitor sees the events addressed to other
// applications and cannot change them.
#ifndef OSXNATIVES_PLATFORM_NS_EVENT_H_
#define OSXNATIVES_PLATFORM_NS_EVENT_H_

#include <cstdint>
#include <functional>
#include <optional>

#include "platform/registry.h"

namespace osxnatives::platform {

// NSEventType values of the events the library monitors.
enum class NSEventType : uint8_t {
  kKeyDown = 10,
  kOtherMouseDown = 25,
  kGesture = 29,
  kPressure = 34,
};

// NSEventMask bits: one bit per event type, 1 << type.
inline constexpr uint64_t EventMaskFromType(NSEventType type) {
  return uint64_t{1} << static_cast<unsigned>(type);
}
inline constexpr uint64_t kEventMaskKeyDown = EventMaskFromType(NSEventType::kKeyDown);
inline constexpr uint64_t kEventMaskOtherMouseDown =
    EventMaskFromType(NSEventType::kOtherMouseDown);
inline constexpr uint64_t kEventMaskGesture = EventMaskFromType(NSEventType::kGesture);
inline constexpr uint64_t kEventMaskPressure = EventMaskFromType(NSEventType::kPressure);

// NSEventModifierFlags bits.
inline constexpr uint64_t kEventModifierFlagShift = uint64_t{1} << 17;
inline constexpr uint64_t kEventModifierFlagOption = uint64_t{1} << 19;
inline constexpr uint64_t kEventModifierFlagCommand = uint64_t{1} << 20;

// A snapshot of one NSEvent: its type, `keyCode` (virtual key code, layout
// independent; 0 for events without a key) and `modifierFlags`.
struct Event {
  NSEventType type = NSEventType::kKeyDown;
  uint16_t keyCode = 0;
  uint64_t modifierFlags = 0;

  bool operator==(const Event&) const = default;
};

// The opaque token the platform returns for an installed monitor and needs
// back to remove it.
struct EventMonitor {
  uint64_t id = 0;

  bool operator==(const EventMonitor&) const = default;
};

// Body of a local monitor: returns the event to deliver (possibly changed), or
// nullopt to swallow it.
using LocalEventHandler = std::function<std::optional<Event>(const Event&)>;
// Body of a global monitor: observes only.
using GlobalEventHandler = std::function<void(const Event&)>;

class NSEvent {
 public:
  virtual ~NSEvent() = default;

  // `+[NSEvent addLocalMonitorForEventsMatchingMask:handler:]`. The platform
  // keeps `handler` (and whatever it captures) until the monitor is removed
  // and calls it on its main thread. Returns the token, or nullopt when the
  // platform refuses. Thread-safe.
  virtual std::optional<EventMonitor> addLocalMonitorForEventsMatchingMask(
      uint64_t mask, LocalEventHandler handler) = 0;
  // `+[NSEvent addGlobalMonitorForEventsMatchingMask:handler:]`; as above.
  virtual std::optional<EventMonitor> addGlobalMonitorForEventsMatchingMask(
      uint64_t mask, GlobalEventHandler handler) = 0;
  // `+[NSEvent removeMonitor:]`. Removing a monitor that is not installed (any
  // more) does nothing. A handler already running on the main thread finishes.
  // Thread-safe.
  virtual void removeMonitor(EventMonitor monitor) = 0;
};

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_NS_EVENT_H_
