#include "platform/sim/assessment.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <string>
#include <utility>

#include "platform/sim/os_version.h"
#include "platform/sim/services.h"

namespace osxnatives::platform {

AEAssessment& SimAEAssessment() {
  // Never destroyed: its thread may still be delivering while the process
  // exits.
  static auto* const assessment = new sim::SimAssessment(sim::Desktop::Instance());
  return *assessment;
}

namespace sim {
namespace {

constexpr char kSessionService[] = "AEAssessmentSession";
constexpr char kDelegateService[] = "AEAssessmentSessionDelegate";

nlohmann::json ErrorJson(const NSError& error) {
  return {{"domain", error.domain},
          {"code", error.code},
          {"localizedDescription", error.localizedDescription}};
}

// Reads a staged error, or nullopt (after one Warn line when malformed).
std::optional<NSError> ReadError(const nlohmann::json& staging, const char* key) {
  auto value = staging.find(key);
  if (value == staging.end() || value->is_null()) return std::nullopt;
  const std::string where = std::string("scenario key \"assessment.") + key + "\"";
  if (!value->is_object()) {
    Warn(where + " is not an object; nothing is staged");
    return std::nullopt;
  }
  NSError error{kAEAssessmentErrorDomain, kAEAssessmentErrorUnknown, "Simulated failure."};
  auto domain = value->find("domain");
  auto code = value->find("code");
  auto description = value->find("description");
  if ((domain != value->end() && !domain->is_string()) ||
      (code != value->end() && !code->is_number_integer()) ||
      (description != value->end() && !description->is_string())) {
    Warn(where +
         " needs a text \"domain\", an integer \"code\" and a text \"description\"; "
         "nothing is staged");
    return std::nullopt;
  }
  if (domain != value->end()) error.domain = domain->get<std::string>();
  if (code != value->end()) error.code = code->get<int64_t>();
  if (description != value->end()) error.localizedDescription = description->get<std::string>();
  return error;
}

bool ReadFlag(const nlohmann::json& staging, const char* key, bool fallback) {
  auto value = staging.find(key);
  if (value == staging.end() || value->is_null()) return fallback;
  if (!value->is_boolean()) {
    Warn(std::string("scenario key \"assessment.") + key + "\" is not true or false; using " +
         (fallback ? "true" : "false"));
    return fallback;
  }
  return value->get<bool>();
}

}  // namespace

nlohmann::json AssessmentConfigurationJson(const AEAssessmentConfiguration& configuration) {
  nlohmann::json json = nlohmann::json::object();
  if (configuration.mainParticipantAllowsNetworkAccess) {
    json["mainParticipantConfiguration"] = {
        {"allowsNetworkAccess", *configuration.mainParticipantAllowsNetworkAccess}};
  }
  if (!configuration.applications.empty()) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& allowed : configuration.applications) {
      nlohmann::json entry = {
          {"bundleIdentifier", allowed.application.bundleIdentifier},
          {"teamIdentifier", allowed.application.teamIdentifier
                                 ? nlohmann::json(*allowed.application.teamIdentifier)
                                 : nlohmann::json()},
          {"requiresSignatureValidation", allowed.application.requiresSignatureValidation},
          {"allowsNetworkAccess", allowed.configuration.allowsNetworkAccess}};
      list.push_back(std::move(entry));
    }
    json["configurationsByApplication"] = std::move(list);
  }
  if (configuration.autocorrectMode) json["autocorrectMode"] = *configuration.autocorrectMode;
  if (configuration.allowsSpellCheck) json["allowsSpellCheck"] = *configuration.allowsSpellCheck;
  if (configuration.allowsPredictiveKeyboard) {
    json["allowsPredictiveKeyboard"] = *configuration.allowsPredictiveKeyboard;
  }
  if (configuration.allowsKeyboardShortcuts) {
    json["allowsKeyboardShortcuts"] = *configuration.allowsKeyboardShortcuts;
  }
  return json;
}

// One simulated session. Its delegate callbacks are queued on the owner's
// delivering thread, which keeps the delegate (and the session's state)
// alive until they have run.
class SimAssessment::Session : public AEAssessmentSession {
 public:
  Session(SimAssessment& owner, AEAssessmentConfiguration configuration,
          std::shared_ptr<AEAssessmentSessionDelegate> delegate)
      : owner_(owner), state_(std::make_shared<State>()) {
    state_->configuration = std::move(configuration);
    state_->delegate = std::move(delegate);
  }

  void begin() override {
    const Staging& staging = owner_.staging_;
    owner_.desktop_.journal().Record(
        kSessionService, "begin",
        {{"configuration", AssessmentConfigurationJson(Configuration())}});
    const int64_t number = ++owner_.begins_;
    const bool staged_failure =
        staging.beginError && (staging.failingBegins.empty() ||
                               std::find(staging.failingBegins.begin(), staging.failingBegins.end(),
                                         number) != staging.failingBegins.end());
    std::optional<NSError> failure;
    if (!staging.entitled) {
      failure =
          NSError{kAEAssessmentErrorDomain, kAEAssessmentErrorUnknown, kNotEntitledDescription};
    } else if (staged_failure) {
      failure = staging.beginError;
    } else if (owner_.AtLeast(14, 5) && !staging.multipleParticipants &&
               !Configuration().applications.empty()) {
      failure =
          NSError{kAEAssessmentErrorDomain, kAEAssessmentErrorMultipleParticipantsNotSupported,
                  "Multiple participants are not supported."};
    }
    if (failure) {
      Deliver("assessmentSession:failedToBeginWithError:", failure,
              [](auto& d, const auto& e) { d.assessmentSessionFailedToBeginWithError(*e); });
      return;
    }
    Deliver("assessmentSessionDidBegin:", std::nullopt,
            [](auto& d, const auto& /*e*/) { d.assessmentSessionDidBegin(); });
    if (staging.interruption && !staging.interruptAfterUpdate) Interrupt();
  }

  void end() override {
    owner_.desktop_.journal().Record(kSessionService, "end", nlohmann::json::object());
    Deliver("assessmentSessionDidEnd:", std::nullopt,
            [](auto& d, const auto& /*e*/) { d.assessmentSessionDidEnd(); });
  }

  bool updateToConfiguration(const AEAssessmentConfiguration& configuration) override {
    if (!owner_.AtLeast(12, 0)) return false;
    const Staging& staging = owner_.staging_;
    owner_.desktop_.journal().Record(
        kSessionService,
        "updateToConfiguration:", {{"configuration", AssessmentConfigurationJson(configuration)}});
    std::optional<NSError> failure = staging.updateError;
    if (!failure && owner_.AtLeast(14, 5) && !staging.configurationUpdates) {
      failure =
          NSError{kAEAssessmentErrorDomain, kAEAssessmentErrorConfigurationUpdatesNotSupported,
                  "Configuration updates are not supported."};
    }
    if (failure) {
      Deliver("assessmentSession:failedToUpdateToConfiguration:error:", failure,
              [](auto& d, const auto& e) { d.assessmentSessionFailedToUpdateWithError(*e); });
      return true;
    }
    {
      std::lock_guard<std::mutex> lock(state_->mutex);
      state_->configuration = configuration;
    }
    Deliver("assessmentSessionDidUpdate:", std::nullopt,
            [](auto& d, const auto& /*e*/) { d.assessmentSessionDidUpdate(); });
    if (staging.interruption && staging.interruptAfterUpdate) Interrupt();
    return true;
  }

  bool isActive() override {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->active;
  }

 private:
  struct State {
    AEAssessmentConfiguration configuration;  // Guarded by mutex.
    std::shared_ptr<AEAssessmentSessionDelegate> delegate;
    bool active = false;  // Guarded by mutex.
    std::mutex mutex;
  };

  AEAssessmentConfiguration Configuration() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->configuration;
  }

  void Interrupt() {
    Deliver("assessmentSession:wasInterruptedWithError:", owner_.staging_.interruption,
            [](auto& d, const auto& e) { d.assessmentSessionWasInterruptedWithError(*e); });
  }

  // Queues one callback: when it runs, the session's active flag follows the
  // event, the delivery is journaled, then the delegate is called.
  template <typename Call>
  void Deliver(const char* selector, std::optional<NSError> error_value, Call call) {
    // Shared rather than moved into the capture: GCC 12 with ThreadSanitizer
    // takes the moved optional's string for uninitialised.
    auto error = std::make_shared<const std::optional<NSError>>(std::move(error_value));
    owner_.Post([this_owner = &owner_, state = state_, selector, error, call] {
      {
        std::lock_guard<std::mutex> lock(state->mutex);
        const std::string name = selector;
        if (name == "assessmentSessionDidBegin:") state->active = true;
        if (name == "assessmentSessionDidEnd:" ||
            name == "assessmentSession:wasInterruptedWithError:") {
          state->active = false;
        }
      }
      this_owner->desktop_.journal().Record(
          kDelegateService, selector,
          *error ? nlohmann::json{{"error", ErrorJson(**error)}} : nlohmann::json::object());
      call(*state->delegate, *error);
    });
  }

  SimAssessment& owner_;
  const std::shared_ptr<State> state_;
};

SimAssessment::SimAssessment(Desktop& desktop)
    : desktop_(desktop), version_(SimOperatingSystemVersion(desktop).operatingSystemVersion()) {
  const nlohmann::json* staging = desktop.scenario().Find("assessment");
  if (staging == nullptr) return;
  if (!staging->is_object()) {
    Warn("scenario key \"assessment\" is not an object; using the defaults");
    return;
  }
  staging_.entitled = ReadFlag(*staging, "entitled", true);
  staging_.multipleParticipants = ReadFlag(*staging, "supportsMultipleParticipants", true);
  staging_.configurationUpdates = ReadFlag(*staging, "supportsConfigurationUpdates", true);
  staging_.beginError = ReadError(*staging, "beginError");
  if (staging_.beginError) {
    const nlohmann::json& error = staging->at("beginError");
    auto begins = error.find("begins");
    if (begins != error.end() && !begins->is_null()) {
      bool valid = begins->is_array();
      for (const auto& number : valid ? *begins : nlohmann::json::array()) {
        valid = valid && number.is_number_integer();
        if (valid) staging_.failingBegins.push_back(number.get<int64_t>());
      }
      if (!valid) {
        Warn(R"(scenario key "assessment.beginError.begins" is not a list of integers; )"
             "every begin fails");
        staging_.failingBegins.clear();
      }
    }
  }
  staging_.updateError = ReadError(*staging, "updateError");
  staging_.interruption = ReadError(*staging, "interruption");
  if (staging_.interruption) {
    auto after = staging->at("interruption").find("after");
    const bool valid = after != staging->at("interruption").end() && after->is_string() &&
                       (*after == "begin" || *after == "update");
    if (!valid) {
      Warn(R"(scenario key "assessment.interruption" needs "after": "begin" or "update"; )"
           "nothing is staged");
      staging_.interruption.reset();
    } else {
      staging_.interruptAfterUpdate = *after == "update";
    }
  }
}

SimAssessment::~SimAssessment() {
  std::thread thread;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    thread = std::move(thread_);
  }
  if (thread.joinable()) thread.join();
}

bool SimAssessment::AtLeast(int64_t major, int64_t minor) const {
  return version_ >= NSOperatingSystemVersion{major, minor, 0};
}

AEAssessmentCapabilities SimAssessment::capabilities() {
  AEAssessmentCapabilities capabilities;
  capabilities.frameworkAvailable = version_ >= NSOperatingSystemVersion{10, 15, 4};
  if (!capabilities.frameworkAvailable) {
    capabilities.unavailableReason =
        "AutomaticAssessmentConfiguration needs macOS 10.15.4 or later; this Mac runs " +
        std::to_string(version_.majorVersion) + "." + std::to_string(version_.minorVersion) + "." +
        std::to_string(version_.patchVersion);
    return capabilities;
  }
  capabilities.supportsApplications = AtLeast(12, 0);
  capabilities.supportsMultipleParticipants = AtLeast(14, 5) && staging_.multipleParticipants;
  capabilities.supportsConfigurationUpdates = AtLeast(14, 5) && staging_.configurationUpdates;
  capabilities.supportsKeyboardOptions = AtLeast(15, 0);
  return capabilities;
}

std::unique_ptr<AEAssessmentSession> SimAssessment::makeSession(
    const AEAssessmentConfiguration& configuration,
    std::shared_ptr<AEAssessmentSessionDelegate> delegate) {
  if (!capabilities().frameworkAvailable || delegate == nullptr) return nullptr;
  return std::make_unique<Session>(*this, configuration, std::move(delegate));
}

bool SimAssessment::WaitUntilIdle(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  return idle_.wait_for(lock, timeout, [this] { return !running_ && queue_.empty(); });
}

void SimAssessment::Post(std::function<void()> callback) {
  std::thread finished;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return;
    queue_.push_back(std::move(callback));
    if (running_) return;
    finished = std::move(thread_);  // A thread that has left Loop, if any.
    running_ = true;
    try {
      thread_ = std::thread(&SimAssessment::Loop, this);
    } catch (const std::system_error& e) {
      running_ = false;
      queue_.clear();
      Warn(std::string("cannot start the assessment delegate thread: ") + e.what());
    }
  }
  if (finished.joinable()) finished.join();
}

void SimAssessment::Loop() {
  while (true) {
    std::function<void()> callback;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_ || queue_.empty()) {
        running_ = false;
        idle_.notify_all();
        return;
      }
      callback = std::move(queue_.front());
      queue_.pop_front();
    }
    try {
      callback();
    } catch (const std::exception& e) {
      Warn(std::string("an assessment session delegate threw: ") + e.what());
    } catch (...) {
      Warn("an assessment session delegate threw an unknown exception");
    }
  }
}

}  // namespace sim
}  // namespace osxnatives::platform
