#include "events/event_listener_swift.h"

#include <algorithm>
#include <utility>

#include "common/host.h"
#include "platform/ns_application.h"
#include "platform/ns_operating_system_version.h"
#include "platform/unicode_text.h"

namespace osxnatives {

using platform::Event;
using platform::EventMonitor;

namespace {

bool HasCommand(const Event& event) {
  return (event.modifierFlags & platform::kEventModifierFlagCommand) != 0;
}

bool HasShift(const Event& event) {
  return (event.modifierFlags & platform::kEventModifierFlagShift) != 0;
}

// Texts compare as platform strings do: equal when canonically equivalent.
bool Same(std::string_view a, std::string_view b) { return CanonicallyEquivalent(a, b); }

}  // namespace

bool EventListenerSwift::IsFacebook(std::optional<std::string_view> client) {
  return client.has_value() && !client->empty() && Same(Lowercased(*client), "facebook");
}

void EventListenerSwift::startMonitoring(std::string_view deliveryMode,
                                         std::optional<std::string_view> client,
                                         bool isSystemTest) {
  auto& events = platform::Get<platform::NSEvent>();
  const std::shared_ptr<const EventListenerSwift> self = shared_from_this();
  const std::string mode = Lowercased(deliveryMode);
  // One lock across the whole start: a stop or start on another thread sees
  // either none or all of this start's monitors.
  std::lock_guard<std::mutex> lock(mutex_);
  // The tokens of a start that no stop followed are about to be replaced;
  // their monitors go first, or nothing could ever remove them again.
  if (installed_) RemoveHeldMonitors(events);
  Monitors installed;
  if (Same(mode, "op")) {
    installed.globalKeyDownMonitor = events.addGlobalMonitorForEventsMatchingMask(
        platform::kEventMaskKeyDown, [self, isSystemTest](const Event& event) {
          self->handleCompanionKeyDown(event, isSystemTest);
        });
  }
  if (Same(mode, "ap") && IsFacebook(client)) {
    installed.globalKeyDownMonitor = events.addGlobalMonitorForEventsMatchingMask(
        platform::kEventMaskKeyDown,
        [self](const Event& event) { self->handleWebexKeyDown(event); });
  }
  std::optional<std::string> kept_client;
  if (client) kept_client.emplace(*client);
  installed.keyDownMonitor = events.addLocalMonitorForEventsMatchingMask(
      platform::kEventMaskKeyDown,
      [self, mode = std::string(deliveryMode), kept_client, isSystemTest](const Event& event) {
        return self->handleKeyDown(event, mode, kept_client, isSystemTest);
      });
  installed.otherMouseDownAndGestureMonitor = events.addLocalMonitorForEventsMatchingMask(
      kOtherMouseDownAndGestureMask, [](const Event&) { return std::optional<Event>(); });
  installed.pressureMonitor = events.addLocalMonitorForEventsMatchingMask(
      platform::kEventMaskPressure, [](const Event&) { return std::optional<Event>(); });

  // In mode "op" and "ap" for "facebook" the global field is replaced; in any
  // other mode it keeps what an earlier start stored there.
  if (installed.globalKeyDownMonitor) {
    monitors_.globalKeyDownMonitor = installed.globalKeyDownMonitor;
  } else if (Same(mode, "op") || (Same(mode, "ap") && IsFacebook(client))) {
    monitors_.globalKeyDownMonitor.reset();
  }
  monitors_.keyDownMonitor = installed.keyDownMonitor;
  monitors_.otherMouseDownAndGestureMonitor = installed.otherMouseDownAndGestureMonitor;
  monitors_.pressureMonitor = installed.pressureMonitor;
  installed_ = true;
}

void EventListenerSwift::stopMonitoring() {
  auto& events = platform::Get<platform::NSEvent>();
  std::lock_guard<std::mutex> lock(mutex_);
  RemoveHeldMonitors(events);
  installed_ = false;
}

void EventListenerSwift::RemoveHeldMonitors(platform::NSEvent& events) {
  for (const auto* field :
       {&monitors_.keyDownMonitor, &monitors_.globalKeyDownMonitor, &monitors_.leftMouseDownMonitor,
        &monitors_.otherMouseDownAndGestureMonitor, &monitors_.pressureMonitor}) {
    if (field->has_value()) events.removeMonitor(**field);
  }
}

EventListenerSwift::Monitors EventListenerSwift::monitors() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return monitors_;
}

std::optional<Event> EventListenerSwift::handleKeyDown(const Event& event,
                                                       std::string_view deliveryMode,
                                                       std::optional<std::string_view> client,
                                                       bool isSystemTest) const {
  if (!HasCommand(event)) return event;
  const std::optional<std::string> title =
      platform::Get<platform::NSApplication>().KeyWindowTitle();
  if (event.keyCode == kKeyCodeQ) {
    Log("key down CMD + Q", "INFO");
    const bool keep_open =
        title.has_value() &&
        std::any_of(std::begin(kKeepOpenWindowTitles), std::end(kKeepOpenWindowTitles),
                    [&title](std::string_view keep) { return Same(*title, keep); });
    if (!keep_open) CloseRequest();
    return std::nullopt;
  }
  if (event.keyCode == kKeyCodeH && !HasShift(event)) {
    Log("key down CMD + H", "INFO");
    return std::nullopt;
  }
  if (event.keyCode == kKeyCodeTab) {
    const std::string mode = Lowercased(deliveryMode);
    if (Same(mode, "op") && !isSystemTest) {
      ActivateRunning(pimzoBundleIdentifier, /*lowercase=*/true);
    } else if (Same(mode, "ap") && IsFacebook(client)) {
      ActivateRunning(webexBundleIdentifier, /*lowercase=*/true);
    }
  }
  return event;
}

void EventListenerSwift::handleCompanionKeyDown(const Event& event, bool isSystemTest) const {
  if (!HasCommand(event) || event.keyCode != kKeyCodeTab || isSystemTest) return;
  ReturnFromCompanion(pimzoBundleIdentifier);
}

void EventListenerSwift::handleWebexKeyDown(const Event& event) const {
  if (!HasCommand(event) || event.keyCode != kKeyCodeTab) return;
  ReturnFromCompanion(webexBundleIdentifier);
}

void EventListenerSwift::ReturnFromCompanion(std::string_view companion) const {
  const std::optional<platform::RunningApplication> frontmost =
      platform::Get<platform::NSWorkspace>().frontmostApplication();
  if (!frontmost || !frontmost->bundleIdentifier) return;
  if (!Same(Lowercased(*frontmost->bundleIdentifier), companion)) return;
  ActivateRunning(kgBundleIdentifier, /*lowercase=*/false);
}

bool EventListenerSwift::ActivateRunning(std::string_view bundleIdentifier, bool lowercase) const {
  for (const auto& application : platform::Get<platform::NSWorkspace>().runningApplications()) {
    if (!application.bundleIdentifier) continue;
    const bool same = lowercase ? Same(Lowercased(*application.bundleIdentifier), bundleIdentifier)
                                : Same(*application.bundleIdentifier, bundleIdentifier);
    if (same) {
      Activate(application);
      return true;
    }
  }
  return false;
}

void EventListenerSwift::Activate(const platform::RunningApplication& application) {
  auto& workspace = platform::Get<platform::NSWorkspace>();
  if (platform::isOperatingSystemAtLeastVersion({14, 0, 0})) {
    platform::Get<platform::NSApplication>().YieldActivationToApplication(application);
    workspace.activateWithOptions(application, kActivationOptions);
  } else {
    workspace.activateWithOptions(application, kLegacyActivationOptions);
  }
}

}  // namespace osxnatives
