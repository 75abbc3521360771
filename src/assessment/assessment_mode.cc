#include "assessment/assessment_mode.h"

#include <nlohmann/json.hpp>
#include <utility>
#include <variant>

#include "assessment/assessment_configuration.h"
#include "common/host.h"

namespace osxnatives::assessment {
namespace {

using Json = nlohmann::ordered_json;

std::string Dump(const Json& answer) {
  return answer.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string Refused(const std::string& error, const std::optional<std::string>& key = {}) {
  Log("Assessment mode: " + error, "ERROR");
  Json answer = {{"ok", false}, {"error", error}};
  if (key) answer["key"] = *key;
  return Dump(answer);
}

std::string Accepted(const std::vector<std::string>* unsupported) {
  Json answer = {{"ok", true}};
  if (unsupported != nullptr) answer["unsupportedKeys"] = *unsupported;
  return Dump(answer);
}

const char* StateName(AssessmentMode::State state) {
  switch (state) {
    case AssessmentMode::State::kNone:
      return "none";
    case AssessmentMode::State::kBeginning:
      return "beginning";
    case AssessmentMode::State::kActive:
      return "active";
    case AssessmentMode::State::kInterrupted:
      return "interrupted";
    case AssessmentMode::State::kEnding:
      return "ending";
  }
  return "none";
}

// The configuration of `text`, or the refusal answer.
std::variant<ParsedConfiguration, std::string> Configuration(
    std::string_view text, const platform::AEAssessmentCapabilities& capabilities) {
  auto parsed = ParseConfiguration(text, capabilities);
  if (auto* error = std::get_if<ConfigurationError>(&parsed)) {
    if (error->key.empty()) return Refused(error->message);
    return Refused("configuration key \"" + error->key + "\" " + error->message, error->key);
  }
  return std::get<ParsedConfiguration>(std::move(parsed));
}

}  // namespace

const char* EventName(SessionEventKind kind) {
  switch (kind) {
    case SessionEventKind::kDidBegin:
      return "didBegin";
    case SessionEventKind::kFailedToBegin:
      return "failedToBegin";
    case SessionEventKind::kWasInterrupted:
      return "wasInterrupted";
    case SessionEventKind::kDidEnd:
      return "didEnd";
    case SessionEventKind::kDidUpdate:
      return "didUpdate";
    case SessionEventKind::kFailedToUpdate:
      return "failedToUpdate";
  }
  return "unknown";
}

// The delegate of one session. Holds its owner weakly, so that a callback
// after the owner is gone does nothing.
class AssessmentMode::Delegate : public platform::AEAssessmentSessionDelegate {
 public:
  Delegate(std::weak_ptr<AssessmentMode> owner, uint64_t serial)
      : owner_(std::move(owner)), serial_(serial) {}

  void assessmentSessionDidBegin() override { Forward(SessionEventKind::kDidBegin); }
  void assessmentSessionFailedToBeginWithError(const platform::NSError& error) override {
    Forward(SessionEventKind::kFailedToBegin, error);
  }
  void assessmentSessionWasInterruptedWithError(const platform::NSError& error) override {
    Forward(SessionEventKind::kWasInterrupted, error);
  }
  void assessmentSessionDidEnd() override { Forward(SessionEventKind::kDidEnd); }
  void assessmentSessionDidUpdate() override { Forward(SessionEventKind::kDidUpdate); }
  void assessmentSessionFailedToUpdateWithError(const platform::NSError& error) override {
    Forward(SessionEventKind::kFailedToUpdate, error);
  }

 private:
  void Forward(SessionEventKind kind, std::optional<platform::NSError> error = std::nullopt) {
    if (auto owner = owner_.lock()) owner->OnEvent(serial_, SessionEvent{kind, std::move(error)});
  }

  const std::weak_ptr<AssessmentMode> owner_;
  const uint64_t serial_;
};

std::shared_ptr<AssessmentMode> AssessmentMode::Create(SessionEventSink& sink) {
  return std::shared_ptr<AssessmentMode>(new AssessmentMode(sink));
}

AssessmentMode::State AssessmentMode::state() {
  std::lock_guard<std::mutex> lock(mutex_);
  return current_ ? current_->state : State::kNone;
}

std::string AssessmentMode::availability() {
  const platform::AEAssessmentCapabilities capabilities =
      platform::Get<platform::AEAssessment>().capabilities();
  Json answer = {{"available", capabilities.frameworkAvailable},
                 {"reason", capabilities.unavailableReason},
                 {"supportsApplications", capabilities.supportsApplications},
                 {"supportsKeyboardOptions", capabilities.supportsKeyboardOptions},
                 {"supportsMultipleParticipants", capabilities.supportsMultipleParticipants},
                 {"supportsConfigurationUpdates", capabilities.supportsConfigurationUpdates},
                 {"session", StateName(state())}};
  return Dump(answer);
}

std::string AssessmentMode::begin(std::string_view text) {
  auto& platform = platform::Get<platform::AEAssessment>();
  const platform::AEAssessmentCapabilities capabilities = platform.capabilities();
  if (!capabilities.frameworkAvailable) {
    return Refused("assessment mode is unavailable: " + capabilities.unavailableReason);
  }
  auto parsed = Configuration(text, capabilities);
  if (auto* refusal = std::get_if<std::string>(&parsed)) return *refusal;
  auto& configuration = std::get<ParsedConfiguration>(parsed);

  std::shared_ptr<platform::AEAssessmentSession> session;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (current_) {
      return Refused(std::string("an assessment session is already ") + StateName(current_->state) +
                     "; end it first");
    }
    const uint64_t serial = next_serial_++;
    session = platform.makeSession(configuration.configuration,
                                   std::make_shared<Delegate>(weak_from_this(), serial));
    if (session == nullptr) return Refused("the assessment session could not be created");
    current_ = Current{serial, session, State::kBeginning};
  }
  // Outside the lock: a system that answers at once, on this thread, finds
  // the session in place.
  Log("Assessment mode: beginning a session", "INFO");
  session->begin();
  return Accepted(&configuration.unsupportedKeys);
}

std::string AssessmentMode::update(std::string_view text) {
  const platform::AEAssessmentCapabilities capabilities =
      platform::Get<platform::AEAssessment>().capabilities();
  auto parsed = Configuration(text, capabilities);
  if (auto* refusal = std::get_if<std::string>(&parsed)) return *refusal;
  auto& configuration = std::get<ParsedConfiguration>(parsed);

  std::shared_ptr<platform::AEAssessmentSession> session;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!current_) return Refused("no assessment session is running");
    if (current_->state != State::kActive) {
      return Refused(std::string("the assessment session is ") + StateName(current_->state) +
                     ", not active; it cannot be updated");
    }
    session = current_->session;
  }
  if (!session->updateToConfiguration(configuration.configuration)) {
    return Refused("this Mac cannot update a running assessment session (macOS 12 or later)");
  }
  Log("Assessment mode: updating the session", "INFO");
  return Accepted(&configuration.unsupportedKeys);
}

std::string AssessmentMode::end() {
  std::shared_ptr<platform::AEAssessmentSession> session;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!current_) return Refused("no assessment session is running");
    if (current_->state == State::kEnding)
      return Refused("the assessment session is already ending");
    current_->state = State::kEnding;
    session = current_->session;
  }
  Log("Assessment mode: ending the session", "INFO");
  session->end();
  return Accepted(nullptr);
}

void AssessmentMode::OnEvent(uint64_t serial, const SessionEvent& event) {
  std::shared_ptr<platform::AEAssessmentSession> finished;  // Released outside the lock.
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (current_ && current_->serial == serial) {
      switch (event.kind) {
        case SessionEventKind::kDidBegin:
          if (current_->state == State::kBeginning) current_->state = State::kActive;
          break;
        case SessionEventKind::kWasInterrupted:
          if (current_->state != State::kEnding) current_->state = State::kInterrupted;
          break;
        case SessionEventKind::kFailedToBegin:
        case SessionEventKind::kDidEnd:
          finished = std::move(current_->session);
          current_.reset();
          break;
        case SessionEventKind::kDidUpdate:
        case SessionEventKind::kFailedToUpdate:
          break;
      }
    }
  }
  std::string line = std::string("Assessment session: ") + EventName(event.kind);
  if (event.error) {
    line += " (" + event.error->domain + " " + std::to_string(event.error->code) + ": " +
            event.error->localizedDescription + ")";
  }
  Log(line, event.error ? "ERROR" : "INFO");
  sink_.OnSessionEvent(event);
}

}  // namespace osxnatives::assessment
