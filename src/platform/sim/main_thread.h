// The simulated desktop's main thread: NSEvent monitors, the Apple event
// manager and NSApplicationMain, with the scenario's queued input and Apple
// events delivered on a thread of the desktop's own.
//
// Scenario keys:
//   "inputEvents": [{"type": "keyDown" | "otherMouseDown" | "gesture" |
//                    "pressure", "keyCode": 0..65535 (required for keyDown),
//                    "modifierFlags": unsigned integer (default 0),
//                    "global": bool (default false)}, ...]
//   "appleEvents": [{"eventClass": "GURL", "eventID": "GURL",
//                    "url": text (the direct parameter)}, ...]
// Entries with a missing or wrongly typed field, an unknown type or no direct
// parameter are skipped with one `Warn` line each; the rest are delivered.
//
// Delivery, in queue order, one event at a time:
// - Input events start flowing once local monitors cover key-down,
//   other-mouse-down, gesture and pressure events (the event listener's full
//   local set; it installs its global monitor first). Each goes to the monitors
//   installed at that moment whose mask matches: local events through the
//   local monitors in installation order until one swallows it, events with
//   "global" true to every global monitor. Journaled as "NSEvent" "deliver"
//   {type, keyCode, modifierFlags, global} with top-level "result"
//   ("swallowed" or "passed") and "monitors" (how many saw it).
// - Apple events start flowing once a handler for the get-URL event ("GURL",
//   "GURL") is installed. Each goes to the handler of its (class, identifier)
//   pair, if any. Journaled as "NSAppleEventManager" "deliver" {eventClass,
//   eventID, url} with top-level "result" ("handled" or "unhandled").
// - `Run` (NSApplicationMain) opens both queues at once and returns 0 when
//   everything queued has been delivered.
//
// The delivering thread starts when something becomes deliverable and ends
// when nothing is left, so it never keeps a host process from exiting. A
// handler that throws is reported with one `Warn` line; delivery goes on.
#ifndef OSXNATIVES_PLATFORM_SIM_MAIN_THREAD_H_
#define OSXNATIVES_PLATFORM_SIM_MAIN_THREAD_H_

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/ns_apple_event_manager.h"
#include "platform/ns_application_main.h"
#include "platform/ns_event.h"
#include "platform/sim/desktop.h"

namespace osxnatives::platform::sim {

// One queued input event.
struct QueuedInputEvent {
  Event event;
  bool global = false;
};

// One queued Apple event; `url` is its direct parameter's text.
struct QueuedAppleEvent {
  FourCharCode eventClass = 0;
  FourCharCode eventID = 0;
  std::string url;
};

class SimMainThread : public NSEvent, public NSAppleEventManager, public ApplicationMain {
 public:
  // Reads the queues from `desktop`'s scenario (warning about bad entries).
  // `desktop` must outlive this object.
  explicit SimMainThread(Desktop& desktop);
  // Stops delivery after the event in hand and joins the thread. The
  // process-wide instance is never destroyed, so its thread may be left
  // running at exit.
  ~SimMainThread() override;
  SimMainThread(const SimMainThread&) = delete;
  SimMainThread& operator=(const SimMainThread&) = delete;

  std::optional<EventMonitor> addLocalMonitorForEventsMatchingMask(
      uint64_t mask, LocalEventHandler handler) override;
  std::optional<EventMonitor> addGlobalMonitorForEventsMatchingMask(
      uint64_t mask, GlobalEventHandler handler) override;
  void removeMonitor(EventMonitor monitor) override;

  void setEventHandler(AppleEventHandler handler, FourCharCode eventClass,
                       FourCharCode eventID) override;

  // NSApplicationMain: opens both queues and waits until they are delivered.
  int Run(int argc, char** argv) override;

  // Waits until nothing deliverable is left and no event is being delivered.
  // Returns false when `timeout` passes first. For tests.
  bool WaitUntilIdle(std::chrono::milliseconds timeout);

  // The installed monitors, in installation order. For tests.
  size_t monitor_count() const;

 private:
  struct Monitor {
    EventMonitor token;
    uint64_t mask = 0;
    bool global = false;
    LocalEventHandler local;
    GlobalEventHandler observer;
  };
  struct HandlerEntry {
    FourCharCode eventClass;
    FourCharCode eventID;
    AppleEventHandler handler;
  };

  std::optional<EventMonitor> AddMonitor(uint64_t mask, bool global, LocalEventHandler local,
                                         GlobalEventHandler observer);
  // Under mutex_: whether an event can be delivered now.
  bool HasDeliverableLocked() const;
  // Recomputes the gates and starts the delivering thread when it is needed
  // and not running. Takes mutex_.
  void Wake();
  void Loop();
  void Deliver(const QueuedInputEvent& queued);
  void Deliver(const QueuedAppleEvent& queued);

  Desktop& desktop_;
  mutable std::mutex mutex_;
  std::condition_variable idle_;
  std::deque<QueuedInputEvent> input_;  // Guarded by mutex_.
  std::deque<QueuedAppleEvent> apple_;  // Guarded by mutex_.
  std::vector<Monitor> monitors_;       // Guarded by mutex_.
  std::vector<HandlerEntry> handlers_;  // Guarded by mutex_.
  uint64_t next_monitor_id_ = 1;        // Guarded by mutex_.
  bool input_open_ = false;             // Guarded by mutex_.
  bool apple_open_ = false;             // Guarded by mutex_.
  bool running_ = false;                // Guarded by mutex_.
  bool stopping_ = false;               // Guarded by mutex_.
  std::thread thread_;                  // Guarded by mutex_.
};

}  // namespace osxnatives::platform::sim

#endif  // OSXNATIVES_PLATFORM_SIM_MAIN_THREAD_H_
