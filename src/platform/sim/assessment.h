// Simulated AutomaticAssessmentConfiguration, staged by the scenario key
// "assessment" and the desktop's "osVersion":
//
//   "assessment": {
//     "entitled": bool (default true),
//     "supportsMultipleParticipants": bool (default true; macOS 14.5+ only),
//     "supportsConfigurationUpdates": bool (default true; macOS 14.5+ only),
//     "beginError": {"domain": text, "code": integer, "description": text,
//                    "begins": [integer, ...] (which begin calls fail, counted
//                    from 1; default every one)},
//     "updateError": {...the same...},
//     "interruption": {"after": "begin" | "update", "domain": ..., "code": ...,
//                      "description": ...}
//   }
//
// The framework exists from macOS 10.15.4; allowed applications, the host's
// network access and updates from 12; keyboard options from 15. A value of
// the wrong type is one `Warn` line and its default.
//
// Each session call is journaled under "AEAssessmentSession" with the
// configuration in Apple's names ("begin" and "updateToConfiguration:" with
// {"configuration": {...}}, "end" with {}), and each delegate callback under
// "AEAssessmentSessionDelegate" with its selector and the error, if any, when
// it is delivered. Callbacks run in order on a thread of the desktop's own,
// the stand-in for the main thread, which ends when nothing is queued.
//
// Outcomes: `begin` of an unentitled host, or with "beginError", gives
// failed-to-begin; with allowed applications on 14.5+ while multiple
// participants are unsupported, failed-to-begin with code 3; otherwise
// did-begin, then the interruption when it is staged "after" "begin".
// `updateToConfiguration:` gives failed-to-update with "updateError", or with
// code 4 on 14.5+ while updates are unsupported; otherwise did-update, then
// an interruption staged "after" "update". `end` gives did-end.
#ifndef OSXNATIVES_PLATFORM_SIM_ASSESSMENT_H_
#define OSXNATIVES_PLATFORM_SIM_ASSESSMENT_H_

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <thread>
#include <vector>

#include "platform/ae_assessment_session.h"
#include "platform/ns_operating_system_version.h"
#include "platform/sim/desktop.h"

namespace osxnatives::platform::sim {

// The error a host without the entitlement sees in the simulation.
inline constexpr char kNotEntitledDescription[] =
    "The application is missing the com.apple.developer.automatic-assessment-configuration "
    "entitlement.";

// The configuration in Apple's property names, absent values left out.
nlohmann::json AssessmentConfigurationJson(const AEAssessmentConfiguration& configuration);

class SimAssessment : public AEAssessment {
 public:
  // `desktop` must outlive this object.
  explicit SimAssessment(Desktop& desktop);
  // Joins the delivering thread after the callback in hand.
  ~SimAssessment() override;
  SimAssessment(const SimAssessment&) = delete;
  SimAssessment& operator=(const SimAssessment&) = delete;

  AEAssessmentCapabilities capabilities() override;
  std::unique_ptr<AEAssessmentSession> makeSession(
      const AEAssessmentConfiguration& configuration,
      std::shared_ptr<AEAssessmentSessionDelegate> delegate) override;

  // Waits until every queued callback has been delivered. False when
  // `timeout` passes first. For tests.
  bool WaitUntilIdle(std::chrono::milliseconds timeout);

 private:
  class Session;
  struct Staging {
    bool entitled = true;
    bool multipleParticipants = true;
    bool configurationUpdates = true;
    std::optional<NSError> beginError;
    std::vector<int64_t> failingBegins;  // Empty: every begin.
    std::optional<NSError> updateError;
    std::optional<NSError> interruption;
    bool interruptAfterUpdate = false;
  };

  // Queues `callback` for the delivering thread, starting it when idle.
  void Post(std::function<void()> callback);
  void Loop();
  bool AtLeast(int64_t major, int64_t minor) const;

  Desktop& desktop_;
  const NSOperatingSystemVersion version_;
  Staging staging_;
  std::atomic<int64_t> begins_{0};
  std::mutex mutex_;
  std::condition_variable idle_;
  std::deque<std::function<void()>> queue_;  // Guarded by mutex_.
  bool running_ = false;                     // Guarded by mutex_.
  bool stopping_ = false;                    // Guarded by mutex_.
  std::thread thread_;                       // Guarded by mutex_.
};

}  // namespace osxnatives::platform::sim

#endif  // OSXNATIVES_PLATFORM_SIM_ASSESSMENT_H_
