// AutomaticAssessmentConfiguration: Apple's assessment mode. While an
// `AEAssessmentSession` runs, macOS keeps the host application in front,
// blocks other applications and their network access, and turns off
// screenshots, screen recording, dictation and similar system features.
//
// The framework arrived in macOS 10.15.4. What a configuration can say grew
// later: other allowed applications and the host's own network access in
// macOS 12, configuration updates and multiple participants as supported
// features in macOS 14.5, keyboard options in macOS 15. `AEAssessment`
// reports which of these the running system knows; a session applies only
// those.
#ifndef OSXNATIVES_PLATFORM_AE_ASSESSMENT_SESSION_H_
#define OSXNATIVES_PLATFORM_AE_ASSESSMENT_SESSION_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace osxnatives::platform {

// `AEAssessmentErrorDomain` and its codes.
inline constexpr char kAEAssessmentErrorDomain[] = "AEAssessmentErrorDomain";
inline constexpr int64_t kAEAssessmentErrorUnknown = 1;
inline constexpr int64_t kAEAssessmentErrorUnsupportedPlatform = 2;
inline constexpr int64_t kAEAssessmentErrorMultipleParticipantsNotSupported = 3;
inline constexpr int64_t kAEAssessmentErrorConfigurationUpdatesNotSupported = 4;

// The part of an `NSError` a delegate callback passes on.
struct NSError {
  std::string domain;
  int64_t code = 0;
  std::string localizedDescription;

  bool operator==(const NSError&) const = default;
};

// `AEAssessmentApplication` (macOS 12): another application allowed during the
// session.
struct AEAssessmentApplication {
  std::string bundleIdentifier;
  std::optional<std::string> teamIdentifier;
  bool requiresSignatureValidation = true;

  bool operator==(const AEAssessmentApplication&) const = default;
};

// `AEAssessmentParticipantConfiguration` (macOS 12).
struct AEAssessmentParticipantConfiguration {
  bool allowsNetworkAccess = false;

  bool operator==(const AEAssessmentParticipantConfiguration&) const = default;
};

// `AEAssessmentConfiguration`. An absent value leaves the system's default.
struct AEAssessmentConfiguration {
  // macOS 12: `mainParticipantConfiguration.allowsNetworkAccess`.
  std::optional<bool> mainParticipantAllowsNetworkAccess;
  // macOS 12: `setConfiguration:forApplication:`, in this order.
  struct AllowedApplication {
    AEAssessmentApplication application;
    AEAssessmentParticipantConfiguration configuration;
    bool operator==(const AllowedApplication&) const = default;
  };
  std::vector<AllowedApplication> applications;
  // macOS 15: `autocorrectMode` (AEAutocorrectMode bits: 1 spelling, 2
  // punctuation), `allowsSpellCheck`, `allowsPredictiveKeyboard`,
  // `allowsKeyboardShortcuts`.
  std::optional<uint64_t> autocorrectMode;
  std::optional<bool> allowsSpellCheck;
  std::optional<bool> allowsPredictiveKeyboard;
  std::optional<bool> allowsKeyboardShortcuts;

  bool operator==(const AEAssessmentConfiguration&) const = default;
};

// What the running system offers.
struct AEAssessmentCapabilities {
  // `NSClassFromString(@"AEAssessmentSession")` is not nil (macOS 10.15.4).
  bool frameworkAvailable = false;
  // Why the framework is missing; empty when it is present.
  std::string unavailableReason;
  // Allowed applications and the host's network access (macOS 12).
  bool supportsApplications = false;
  // `+[AEAssessmentSession supportsMultipleParticipants]` (macOS 14.5).
  bool supportsMultipleParticipants = false;
  // `+[AEAssessmentSession supportsConfigurationUpdates]` (macOS 14.5).
  bool supportsConfigurationUpdates = false;
  // Autocorrect, spell check, predictive keyboard, shortcuts (macOS 15).
  bool supportsKeyboardOptions = false;
};

// `AEAssessmentSessionDelegate`. The system calls it on the main thread, one
// callback at a time, in the order the events happen; possibly after the
// session's owner has called `end` and dropped the session.
class AEAssessmentSessionDelegate {
 public:
  virtual ~AEAssessmentSessionDelegate() = default;
  virtual void assessmentSessionDidBegin() = 0;
  virtual void assessmentSessionFailedToBeginWithError(const NSError& error) = 0;
  virtual void assessmentSessionWasInterruptedWithError(const NSError& error) = 0;
  virtual void assessmentSessionDidEnd() = 0;
  virtual void assessmentSessionDidUpdate() = 0;
  virtual void assessmentSessionFailedToUpdateWithError(const NSError& error) = 0;
};

// One `AEAssessmentSession`. Its methods return at once; the outcome arrives
// through the delegate. Destroying the object drops the caller's reference
// only: the delegate stays alive as long as the session does, so a callback
// that arrives later still finds it. Callers keep the object until did-end or
// failed-to-begin. Methods are called from one thread at a time.
class AEAssessmentSession {
 public:
  virtual ~AEAssessmentSession() = default;
  virtual void begin() = 0;
  virtual void end() = 0;
  // `updateToConfiguration:` (macOS 12). Returns false, doing nothing, where
  // the system has no such call.
  virtual bool updateToConfiguration(const AEAssessmentConfiguration& configuration) = 0;
  // `isActive`.
  virtual bool isActive() = 0;
};

class AEAssessment {
 public:
  virtual ~AEAssessment() = default;
  // Thread-safe.
  virtual AEAssessmentCapabilities capabilities() = 0;
  // `[[AEAssessmentSession alloc] initWithConfiguration:]` with `delegate` set.
  // The session keeps `delegate` alive as long as it may call it. Null when
  // the framework is missing. Parts the system does not know are left out.
  virtual std::unique_ptr<AEAssessmentSession> makeSession(
      const AEAssessmentConfiguration& configuration,
      std::shared_ptr<AEAssessmentSessionDelegate> delegate) = 0;
};

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_AE_ASSESSMENT_SESSION_H_
