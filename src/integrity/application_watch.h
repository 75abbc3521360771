// The application watch: reports each application launched or terminated
// while it runs, as the platform learns of it.
#ifndef OSXNATIVES_INTEGRITY_APPLICATION_WATCH_H_
#define OSXNATIVES_INTEGRITY_APPLICATION_WATCH_H_

#include <mutex>
#include <string>

#include "platform/ns_workspace_notifications.h"

namespace osxnatives::integrity {

class ApplicationWatch {
 public:
  enum class Outcome { kStarted, kAlreadyRunning, kUnavailable, kStopped, kNotRunning };
  struct Answer {
    Outcome outcome;
    std::string detail;  // the mechanism in use, or why nothing changed
  };

  // The process-wide watch. Thread-safe; lives until the process ends.
  static ApplicationWatch& Instance();

  // Starts calling `listener` once per launch or termination, on a platform
  // thread. While a watch runs, a second start changes nothing and answers
  // kAlreadyRunning with the mechanism in use. A listener that throws loses
  // that one event. Thread-safe.
  Answer Start(platform::ApplicationLifecycleHandler listener);
  // Stops the watch: no call of the listener starts after it returns (except
  // when called from the listener itself). Without a running watch, answers
  // kNotRunning. Thread-safe.
  Answer Stop();

  // "started", "alreadyRunning", "unavailable", "stopped", "notRunning".
  static const char* Name(Outcome outcome);

 private:
  std::mutex mutex_;
  bool running_ = false;   // Guarded by mutex_.
  std::string mechanism_;  // Guarded by mutex_.
};

}  // namespace osxnatives::integrity

#endif  // OSXNATIVES_INTEGRITY_APPLICATION_WATCH_H_
