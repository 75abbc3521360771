// EventListenerSwift: filters the input that reaches the browser while the
// lockdown is active, and switches between the browser and the one companion
// application the delivery mode permits.
//
// Local monitors swallow Command+Q (turning it into a close request to the
// host unless an error window is key), Command+H, other-button mouse presses,
// gestures and pressure events. Command+Tab in the browser activates the
// companion application ("com.electron.pimzo" in mode "op", Webex in mode "ap"
// for the client "facebook"); a global monitor brings the browser back when
// Command+Tab is pressed while the companion application is frontmost.
#ifndef OSXNATIVES_EVENTS_EVENT_LISTENER_SWIFT_H_
#define OSXNATIVES_EVENTS_EVENT_LISTENER_SWIFT_H_

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ns_event.h"
#include "platform/ns_workspace.h"

namespace osxnatives {

class EventListenerSwift : public std::enable_shared_from_this<EventListenerSwift> {
 public:
  static constexpr uint16_t kKeyCodeQ = 12;
  static constexpr uint16_t kKeyCodeH = 4;
  static constexpr uint16_t kKeyCodeTab = 48;
  static constexpr uint64_t kOtherMouseDownAndGestureMask =
      platform::kEventMaskOtherMouseDown | platform::kEventMaskGesture;
  // Activation options before macOS 14 (all windows, ignoring other apps) and
  // from macOS 14 on.
  static constexpr uint64_t kLegacyActivationOptions =
      platform::kActivateAllWindows | platform::kActivateIgnoringOtherApps;
  static constexpr uint64_t kActivationOptions = 0;
  // Key windows over which Command+Q does not ask the host to close.
  static constexpr std::string_view kKeepOpenWindowTitles[] = {
      "TerminateProcessWindow", "InvalidArgumentWindow", "ErrorWindow"};

  // The tokens of the installed monitors. Absent until a start installs them;
  // a stop removes the monitors but leaves the tokens.
  struct Monitors {
    std::optional<platform::EventMonitor> keyDownMonitor;
    std::optional<platform::EventMonitor> leftMouseDownMonitor;  // never installed
    std::optional<platform::EventMonitor> otherMouseDownAndGestureMonitor;
    std::optional<platform::EventMonitor> pressureMonitor;
    std::optional<platform::EventMonitor> globalKeyDownMonitor;
  };

  // Bundle identifiers of the companion application, the browser itself and
  // Webex. The companion and Webex are compared with lower-cased identifiers,
  // the browser's exactly. Every text comparison here (modes, client, window
  // titles, identifiers) treats canonically equivalent texts as equal, as
  // platform strings do.
  const std::string pimzoBundleIdentifier = "com.electron.pimzo";
  const std::string kgBundleIdentifier = "com.trevant.qor.Kestrelgate";
  const std::string webexBundleIdentifier = "cisco-systems.spark";

  EventListenerSwift() = default;
  EventListenerSwift(const EventListenerSwift&) = delete;
  EventListenerSwift& operator=(const EventListenerSwift&) = delete;

  // Installs the monitors: a global key-down monitor in mode "op" (companion
  // handler) or in mode "ap" with client "facebook" (Webex handler), then the
  // local key-down, other-mouse-down-and-gesture and pressure monitors. Mode
  // and client are compared case-insensitively. When an earlier start was not
  // followed by a stop, its monitors are removed first (as a stop would), then
  // their tokens replaced. The handlers keep this listener alive while
  // installed, so it must be owned by a shared_ptr. Called on a Java thread;
  // the handlers run on the platform's main thread and read only the values
  // captured here.
  void startMonitoring(std::string_view deliveryMode, std::optional<std::string_view> client,
                       bool isSystemTest);
  // Removes every monitor whose token a field holds, in the order key-down,
  // global key-down, left-mouse-down, other-mouse-down-and-gesture, pressure.
  // The fields keep their tokens.
  //
  // Starts and stops may overlap on several threads: each runs whole under
  // one lock, so whatever the order, no monitor stays installed after the
  // last stop.
  void stopMonitoring();

  // A snapshot of the monitor fields. Thread-safe.
  Monitors monitors() const;

  // Body of the local key-down monitor: the event to deliver, or nullopt to
  // swallow it. May log, ask the host to close and activate an application.
  std::optional<platform::Event> handleKeyDown(const platform::Event& event,
                                               std::string_view deliveryMode,
                                               std::optional<std::string_view> client,
                                               bool isSystemTest) const;
  // Body of the global key-down monitor in mode "op": Command+Tab while the
  // companion application is frontmost activates the browser.
  void handleCompanionKeyDown(const platform::Event& event, bool isSystemTest) const;
  // Body of the global key-down monitor in mode "ap" for "facebook": the same
  // for Webex.
  void handleWebexKeyDown(const platform::Event& event) const;

 private:
  // Whether `client` is present and names the client "facebook".
  static bool IsFacebook(std::optional<std::string_view> client);
  // Activates the first running application whose (lower-cased, when
  // `lowercase`) bundle identifier equals `bundleIdentifier`. Returns whether
  // there was one.
  bool ActivateRunning(std::string_view bundleIdentifier, bool lowercase) const;
  // Brings the browser forward when the frontmost application is `companion`.
  void ReturnFromCompanion(std::string_view companion) const;
  static void Activate(const platform::RunningApplication& application);
  // Hands every token held in a field to `events.removeMonitor`, in stop
  // order. Call with mutex_ held.
  void RemoveHeldMonitors(platform::NSEvent& events);

  mutable std::mutex mutex_;
  Monitors monitors_;       // Guarded by mutex_.
  bool installed_ = false;  // A start has run since the last stop. Guarded by mutex_.
};

}  // namespace osxnatives

#endif  // OSXNATIVES_EVENTS_EVENT_LISTENER_SWIFT_H_
