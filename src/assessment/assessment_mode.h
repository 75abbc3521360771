// AssessmentMode: one Apple assessment session at a time, driven by JSON
// documents and reported event by event.
//
// Every operation returns a JSON answer whose first member is "ok":
//   {"ok":true,"unsupportedKeys":[...]}      begin or update was passed on
//   {"ok":true}                               end was passed on
//   {"ok":false,"error":"...","key":"..."}   refused; nothing changed ("key"
//                                             only for a bad configuration)
// An accepted begin, update or end has only been asked for: the system's
// answer arrives as a `SessionEvent` (did begin or failed to begin, and so
// on). Nothing here touches the library's own lockdown (presentation, hot
// keys, hot corners, the settings file).
#ifndef OSXNATIVES_ASSESSMENT_ASSESSMENT_MODE_H_
#define OSXNATIVES_ASSESSMENT_ASSESSMENT_MODE_H_

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ae_assessment_session.h"

namespace osxnatives::assessment {

enum class SessionEventKind {
  kDidBegin,
  kFailedToBegin,
  kWasInterrupted,
  kDidEnd,
  kDidUpdate,
  kFailedToUpdate,
};

// "didBegin", "failedToBegin", "wasInterrupted", "didEnd", "didUpdate",
// "failedToUpdate".
const char* EventName(SessionEventKind kind);

struct SessionEvent {
  SessionEventKind kind = SessionEventKind::kDidBegin;
  // Set for the three failure events.
  std::optional<platform::NSError> error;

  bool operator==(const SessionEvent&) const = default;
};

// Receives every delegate event, in order, on the thread the system delivers
// it on (the main thread on macOS).
class SessionEventSink {
 public:
  virtual ~SessionEventSink() = default;
  virtual void OnSessionEvent(const SessionEvent& event) = 0;
};

class AssessmentMode : public std::enable_shared_from_this<AssessmentMode> {
 public:
  // Where the session stands, as "availability" reports it.
  enum class State { kNone, kBeginning, kActive, kInterrupted, kEnding };

  // `sink` must outlive the object and every callback of its sessions.
  static std::shared_ptr<AssessmentMode> Create(SessionEventSink& sink);

  AssessmentMode(const AssessmentMode&) = delete;
  AssessmentMode& operator=(const AssessmentMode&) = delete;

  // {"available":bool,"reason":text,"supportsApplications":bool,
  //  "supportsKeyboardOptions":bool,"supportsMultipleParticipants":bool,
  //  "supportsConfigurationUpdates":bool,"session":"none"|"beginning"|
  //  "active"|"interrupted"|"ending"}. Thread-safe.
  std::string availability();
  // Starts a session with `configuration` when none is running. Thread-safe.
  std::string begin(std::string_view configuration);
  // Hands a running session (one that did begin and was not interrupted) a
  // new configuration. Thread-safe.
  std::string update(std::string_view configuration);
  // Ends the current session, whatever its state, unless it is already
  // ending. Thread-safe.
  std::string end();

  State state();

 private:
  class Delegate;
  struct Current {
    uint64_t serial = 0;
    std::shared_ptr<platform::AEAssessmentSession> session;
    State state = State::kNone;
  };

  explicit AssessmentMode(SessionEventSink& sink) : sink_(sink) {}
  // From the delegate of session `serial`: moves the state on and forwards
  // the event to the sink.
  void OnEvent(uint64_t serial, const SessionEvent& event);

  SessionEventSink& sink_;
  std::mutex mutex_;
  std::optional<Current> current_;  // Guarded by mutex_.
  uint64_t next_serial_ = 1;        // Guarded by mutex_.
};

}  // namespace osxnatives::assessment

#endif  // OSXNATIVES_ASSESSMENT_ASSESSMENT_MODE_H_
