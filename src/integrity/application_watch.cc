#include "integrity/application_watch.h"

#include <exception>

namespace osxnatives::integrity {

ApplicationWatch& ApplicationWatch::Instance() {
  static auto* const watch = new ApplicationWatch();
  return *watch;
}

ApplicationWatch::Answer ApplicationWatch::Start(platform::ApplicationLifecycleHandler listener) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (running_) return {Outcome::kAlreadyRunning, mechanism_};
  auto guarded = [listener = std::move(listener)](const platform::ApplicationLifecycleEvent& e) {
    try {
      listener(e);
    } catch (...) {
      // One lost event; the platform's thread goes on.
    }
  };
  std::string reason;
  auto mechanism =
      platform::Get<platform::NSWorkspaceNotifications>().addObservers(guarded, &reason);
  if (!mechanism) return {Outcome::kUnavailable, reason};
  running_ = true;
  mechanism_ = *mechanism;
  return {Outcome::kStarted, mechanism_};
}

ApplicationWatch::Answer ApplicationWatch::Stop() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!running_) return {Outcome::kNotRunning, "no watch is running"};
  running_ = false;
  std::string mechanism = std::move(mechanism_);
  // Not under the lock: removing waits for a listener call in progress, which
  // may itself ask for a start or stop.
  lock.unlock();
  platform::Get<platform::NSWorkspaceNotifications>().removeObservers();
  return {Outcome::kStopped, mechanism};
}

const char* ApplicationWatch::Name(Outcome outcome) {
  switch (outcome) {
    case Outcome::kStarted:
      return "started";
    case Outcome::kAlreadyRunning:
      return "alreadyRunning";
    case Outcome::kUnavailable:
      return "unavailable";
    case Outcome::kStopped:
      return "stopped";
    case Outcome::kNotRunning:
      return "notRunning";
  }
  return "unknown";
}

}  // namespace osxnatives::integrity
