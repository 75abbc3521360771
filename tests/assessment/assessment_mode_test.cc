// AssessmentMode against the simulated framework (every delegate path, bad
// configurations, keys an older macOS lacks) and against a hand-driven fake
// (one session at a time, late and stale callbacks).
#include "assessment/assessment_mode.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "assessment/assessment_configuration.h"
#include "platform/sim/assessment.h"
#include "tests/support/recording_host.h"
#include "tests/support/sim_desktop.h"

namespace osxnatives::assessment {
namespace {

using platform::kAEAssessmentErrorDomain;
using platform::NSError;
using Kind = SessionEventKind;

constexpr auto kWait = std::chrono::seconds(10);

// Records events and lets a test wait for a count of them.
class RecordingSink : public SessionEventSink {
 public:
  void OnSessionEvent(const SessionEvent& event) override {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(event);
    changed_.notify_all();
  }
  std::vector<SessionEvent> WaitFor(size_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, kWait, [&] { return events_.size() >= count; });
    return events_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<SessionEvent> events_;
};

}  // namespace

void PrintTo(const SessionEvent& event, std::ostream* out) {
  *out << EventName(event.kind);
  if (event.error) {
    *out << "(" << event.error->domain << " " << event.error->code << " "
         << event.error->localizedDescription << ")";
  }
}

namespace {

nlohmann::json Answer(const std::string& text) { return nlohmann::json::parse(text); }

SessionEvent Plain(Kind kind) { return {kind, std::nullopt}; }
SessionEvent Failed(Kind kind, NSError error) { return {kind, std::move(error)}; }

// A desktop, its simulated framework installed as the platform's, a sink and
// the mode under test. Members are destroyed in reverse: the framework's
// delivering thread is joined before the mode and the sink go.
struct SimFixture {
  explicit SimFixture(const std::string& scenario) : desktop(scenario) {}
  testing::TestDesktop desktop;
  RecordingSink sink;
  std::shared_ptr<AssessmentMode> mode = AssessmentMode::Create(sink);
  platform::sim::SimAssessment framework{desktop.desktop()};
  platform::ScopedOverride<platform::AEAssessment> use{&framework};
  testing::ScopedRecordingHost host;
};

TEST(AssessmentModeTest, EveryDelegatePathArrivesInOrderWithItsError) {
  const NSError staged{"com.example.staged", 42, "Staged failure."};
  const std::string staged_fields =
      R"("domain":"com.example.staged","code":42,"description":"Staged failure.")";
  const std::string staged_json = "{" + staged_fields + "}";
  struct Row {
    const char* summary;
    std::string scenario;
    bool update;
    bool end;
    std::vector<SessionEvent> expected;
  };
  const std::vector<Row> rows = {
      {"begins and ends", "{}", false, true, {Plain(Kind::kDidBegin), Plain(Kind::kDidEnd)}},
      {"unentitled host",
       R"({"assessment":{"entitled":false}})",
       false,
       false,
       {Failed(Kind::kFailedToBegin,
               {kAEAssessmentErrorDomain, 1, platform::sim::kNotEntitledDescription})}},
      {"begin refused with a staged error",
       R"({"assessment":{"beginError":)" + staged_json + "}}",
       false,
       false,
       {Failed(Kind::kFailedToBegin, staged)}},
      {"interrupted after it began, then ended",
       R"({"assessment":{"interruption":{"after":"begin",)" + staged_fields + "}}}",
       false,
       true,
       {Plain(Kind::kDidBegin), Failed(Kind::kWasInterrupted, staged), Plain(Kind::kDidEnd)}},
      {"updated, then ended",
       "{}",
       true,
       true,
       {Plain(Kind::kDidBegin), Plain(Kind::kDidUpdate), Plain(Kind::kDidEnd)}},
      {"update refused with a staged error",
       R"({"assessment":{"updateError":)" + staged_json + "}}",
       true,
       true,
       {Plain(Kind::kDidBegin), Failed(Kind::kFailedToUpdate, staged), Plain(Kind::kDidEnd)}},
      {"interrupted after an update",
       R"({"assessment":{"interruption":{"after":"update",)" + staged_fields + "}}}",
       true,
       true,
       {Plain(Kind::kDidBegin), Plain(Kind::kDidUpdate), Failed(Kind::kWasInterrupted, staged),
        Plain(Kind::kDidEnd)}},
      {"updates unsupported on 14.5",
       R"({"osVersion":"14.5","assessment":{"supportsConfigurationUpdates":false}})",
       true,
       true,
       {Plain(Kind::kDidBegin),
        Failed(Kind::kFailedToUpdate,
               {kAEAssessmentErrorDomain, 4, "Configuration updates are not supported."}),
        Plain(Kind::kDidEnd)}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.summary);
    SimFixture f(row.scenario);
    ASSERT_TRUE(Answer(f.mode->begin("{}"))["ok"]);
    f.sink.WaitFor(1);
    if (row.update) {
      EXPECT_TRUE(Answer(f.mode->update(R"({"allowsNetworkAccess":true})"))["ok"]);
      f.sink.WaitFor(2);
    }
    // Everything before the end, the interruption included, has arrived first.
    const size_t before_end = row.expected.size() - (row.end ? 1 : 0);
    f.sink.WaitFor(before_end);
    if (row.end) {
      EXPECT_TRUE(Answer(f.mode->end())["ok"]);
    }
    ASSERT_TRUE(f.framework.WaitUntilIdle(kWait));
    EXPECT_EQ(f.sink.WaitFor(row.expected.size()), row.expected);
    EXPECT_EQ(f.mode->state(), row.end || row.expected.back().kind == Kind::kFailedToBegin
                                   ? AssessmentMode::State::kNone
                                   : AssessmentMode::State::kActive);
    // The journal shows each call, then each delivery, in the same order.
    std::vector<std::string> delivered;
    for (const auto& entry : f.desktop.Journal()) {
      if (entry["service"] == "AEAssessmentSessionDelegate") delivered.push_back(entry["call"]);
    }
    EXPECT_EQ(delivered.size(), row.expected.size());
  }
}

TEST(AssessmentModeTest, StagedBeginErrorHitsOnlyTheListedBegins) {
  SimFixture f(R"({"assessment":{"beginError":{"code":5,"begins":[2]}}})");
  const std::vector<SessionEvent> expected = {
      Plain(Kind::kDidBegin), Plain(Kind::kDidEnd),
      Failed(Kind::kFailedToBegin, {kAEAssessmentErrorDomain, 5, "Simulated failure."}),
      Plain(Kind::kDidBegin)};
  ASSERT_TRUE(Answer(f.mode->begin("{}"))["ok"]);
  f.sink.WaitFor(1);
  ASSERT_TRUE(Answer(f.mode->end())["ok"]);
  f.sink.WaitFor(2);
  ASSERT_TRUE(Answer(f.mode->begin("{}"))["ok"]);
  f.sink.WaitFor(3);
  ASSERT_TRUE(Answer(f.mode->begin("{}"))["ok"]);
  EXPECT_EQ(f.sink.WaitFor(4), expected);
}

TEST(AssessmentModeTest, JournalRecordsEachCallWithItsConfiguration) {
  SimFixture f(R"({"osVersion":"15.1"})");
  const char* configuration = R"({"allowsNetworkAccess":false,
      "allowedApplications":[{"bundleIdentifier":"com.apple.calculator",
                              "teamIdentifier":"ABCDE12345","allowsNetworkAccess":true}],
      "autocorrectMode":["spelling"],"allowsSpellCheck":false})";
  ASSERT_EQ(Answer(f.mode->begin(configuration)), Answer(R"({"ok":true,"unsupportedKeys":[]})"));
  f.sink.WaitFor(1);
  ASSERT_TRUE(Answer(f.mode->update(R"({"allowsKeyboardShortcuts":true})"))["ok"]);
  f.sink.WaitFor(2);
  ASSERT_TRUE(Answer(f.mode->end())["ok"]);
  f.sink.WaitFor(3);
  std::vector<nlohmann::json> calls;
  for (const auto& entry : f.desktop.Journal()) {
    if (entry["service"] == "AEAssessmentSession") calls.push_back(entry);
  }
  ASSERT_EQ(calls.size(), 3U);
  EXPECT_EQ(calls[0]["call"], "begin");
  EXPECT_EQ(calls[0]["args"]["configuration"], Answer(R"({
      "mainParticipantConfiguration":{"allowsNetworkAccess":false},
      "configurationsByApplication":[{"bundleIdentifier":"com.apple.calculator",
          "teamIdentifier":"ABCDE12345","requiresSignatureValidation":true,
          "allowsNetworkAccess":true}],
      "autocorrectMode":1,"allowsSpellCheck":false})"));
  EXPECT_EQ(calls[1]["call"], "updateToConfiguration:");
  EXPECT_EQ(calls[1]["args"]["configuration"], Answer(R"({"allowsKeyboardShortcuts":true})"));
  EXPECT_EQ(calls[2]["call"], "end");
}

TEST(AssessmentModeTest, KeysAnOlderMacLacksAreReportedAndLeftOut) {
  const char* configuration =
      R"({"allowsSpellCheck":true,"allowedApplications":[{"bundleIdentifier":"a.b"}],
          "allowsNetworkAccess":true})";
  struct Row {
    const char* os;
    std::vector<std::string> unsupported;
    nlohmann::json journaled;
  };
  const std::vector<Row> rows = {
      {"15.0", {}, Answer(R"({"allowsSpellCheck":true,
           "mainParticipantConfiguration":{"allowsNetworkAccess":true},
           "configurationsByApplication":[{"bundleIdentifier":"a.b","teamIdentifier":null,
               "requiresSignatureValidation":true,"allowsNetworkAccess":false}]})")},
      {"13.6", {"allowsSpellCheck"}, Answer(R"({
           "mainParticipantConfiguration":{"allowsNetworkAccess":true},
           "configurationsByApplication":[{"bundleIdentifier":"a.b","teamIdentifier":null,
               "requiresSignatureValidation":true,"allowsNetworkAccess":false}]})")},
      {"11.6",
       {"allowsSpellCheck", "allowedApplications", "allowsNetworkAccess"},
       nlohmann::json::object()},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.os);
    SimFixture f(std::string(R"({"osVersion":")") + row.os + "\"}");
    nlohmann::json answer = Answer(f.mode->begin(configuration));
    ASSERT_TRUE(answer["ok"]);
    EXPECT_EQ(answer["unsupportedKeys"], row.unsupported);
    auto begins = f.desktop.Journal("begin");
    ASSERT_EQ(begins.size(), 1U);
    EXPECT_EQ(begins[0]["args"]["configuration"], row.journaled);
    f.sink.WaitFor(1);
  }
}

TEST(AssessmentModeTest, MacTooOldForTheFrameworkRefusesWithTheReason) {
  SimFixture f(R"({"osVersion":"10.15.3"})");
  nlohmann::json availability = Answer(f.mode->availability());
  EXPECT_FALSE(availability["available"]);
  EXPECT_NE(availability["reason"].get<std::string>().find("10.15.4"), std::string::npos);
  nlohmann::json answer = Answer(f.mode->begin("{}"));
  EXPECT_FALSE(answer["ok"]);
  EXPECT_NE(answer["error"].get<std::string>().find("10.15.3"), std::string::npos);
  EXPECT_TRUE(f.desktop.Journal().empty());
}

TEST(AssessmentModeTest, AvailabilityFollowsTheVersion) {
  struct Row {
    const char* os;
    bool applications, participants, updates, keyboard;
  };
  const std::vector<Row> rows = {{"10.15.4", false, false, false, false},
                                 {"12.0", true, false, false, false},
                                 {"14.4", true, false, false, false},
                                 {"14.5", true, true, true, false},
                                 {"15.0", true, true, true, true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.os);
    SimFixture f(std::string(R"({"osVersion":")") + row.os + "\"}");
    nlohmann::json answer = Answer(f.mode->availability());
    EXPECT_TRUE(answer["available"]);
    EXPECT_EQ(answer["supportsApplications"], row.applications);
    EXPECT_EQ(answer["supportsMultipleParticipants"], row.participants);
    EXPECT_EQ(answer["supportsConfigurationUpdates"], row.updates);
    EXPECT_EQ(answer["supportsKeyboardOptions"], row.keyboard);
    EXPECT_EQ(answer["session"], "none");
  }
}

TEST(AssessmentModeTest, BadConfigurationNamesTheKeyAndStartsNothing) {
  std::string many = R"({"allowedApplications":[)";
  for (int i = 0; i < 65; ++i)
    many += (i ? "," : "") + std::string(R"({"bundleIdentifier":"a.b)") + std::to_string(i) + "\"}";
  many += "]}";
  struct Row {
    std::string configuration;
    std::string key;  // Empty: the document as a whole.
  };
  const std::vector<Row> rows = {
      {"not json", ""},
      {"", ""},
      {"[1,2]", ""},
      {R"({"allowsNetworkAccess":"yes"})", "allowsNetworkAccess"},
      {R"({"allowSpellCheck":true})", "allowSpellCheck"},
      {R"({"allowedApplications":{}})", "allowedApplications"},
      {R"({"allowedApplications":["com.apple.calculator"]})", "allowedApplications[0]"},
      {R"({"allowedApplications":[{}]})", "allowedApplications[0].bundleIdentifier"},
      {R"({"allowedApplications":[{"bundleIdentifier":""}]})",
       "allowedApplications[0].bundleIdentifier"},
      {R"({"allowedApplications":[{"bundleIdentifier":"com..apple"}]})",
       "allowedApplications[0].bundleIdentifier"},
      {R"({"allowedApplications":[{"bundleIdentifier":"com.apple/calc"}]})",
       "allowedApplications[0].bundleIdentifier"},
      {R"({"allowedApplications":[{"bundleIdentifier":"a.b"},{"bundleIdentifier":"a.b"}]})",
       "allowedApplications[1].bundleIdentifier"},
      {R"({"allowedApplications":[{"bundleIdentifier":"a.b","teamIdentifier":"abcde12345"}]})",
       "allowedApplications[0].teamIdentifier"},
      {R"({"allowedApplications":[{"bundleIdentifier":"a.b","allowsNetworkAccess":1}]})",
       "allowedApplications[0].allowsNetworkAccess"},
      {R"({"allowedApplications":[{"bundleIdentifier":"a.b","network":true}]})",
       "allowedApplications[0].network"},
      {R"({"autocorrectMode":["spelling","grammar"]})", "autocorrectMode[1]"},
      {R"({"allowsKeyboardShortcuts":null})", "allowsKeyboardShortcuts"},
      {many, "allowedApplications"},
  };
  // A Mac too old for some keys still checks them: the mistake shows everywhere.
  for (const char* os : {"15.1", "11.0"}) {
    for (const auto& row : rows) {
      SCOPED_TRACE(std::string(os) + ": " + row.configuration.substr(0, 80));
      SimFixture f(std::string(R"({"osVersion":")") + os + "\"}");
      nlohmann::json answer = Answer(f.mode->begin(row.configuration));
      EXPECT_FALSE(answer["ok"]);
      if (row.key.empty()) {
        EXPECT_FALSE(answer.contains("key"));
      } else {
        EXPECT_EQ(answer["key"], row.key);
        EXPECT_NE(answer["error"].get<std::string>().find("\"" + row.key + "\""),
                  std::string::npos);
      }
      EXPECT_TRUE(f.desktop.Journal().empty());
      EXPECT_EQ(f.mode->state(), AssessmentMode::State::kNone);
    }
  }
}

TEST(AssessmentModeTest, BundleAndTeamIdentifiers) {
  EXPECT_TRUE(IsBundleIdentifier("com.apple.calculator"));
  EXPECT_TRUE(IsBundleIdentifier("org.example-exam.App2"));
  EXPECT_TRUE(IsBundleIdentifier(std::string(255, 'a')));
  EXPECT_FALSE(IsBundleIdentifier(std::string(256, 'a')));
  for (const char* bad : {"", ".com.apple", "com.apple.", "com apple", "com.äpple", "a..b"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(IsBundleIdentifier(bad));
  }
  EXPECT_TRUE(IsTeamIdentifier("ABCDE12345"));
  for (const char* bad : {"ABCDE1234", "ABCDE123456", "abcde12345", "ABCDE-1234"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(IsTeamIdentifier(bad));
  }
}

// A framework whose callbacks the test sends by hand.
class FakeAssessment : public platform::AEAssessment {
 public:
  struct Calls {
    int begin = 0;
    int end = 0;
    int update = 0;
  };
  class Session : public platform::AEAssessmentSession {
   public:
    explicit Session(Calls& calls) : calls_(calls) {}
    void begin() override { ++calls_.begin; }
    void end() override { ++calls_.end; }
    bool updateToConfiguration(const platform::AEAssessmentConfiguration& /*c*/) override {
      ++calls_.update;
      return true;
    }
    bool isActive() override { return false; }

   private:
    Calls& calls_;
  };

  platform::AEAssessmentCapabilities capabilities() override {
    return {true, "", true, true, true, true};
  }
  std::unique_ptr<platform::AEAssessmentSession> makeSession(
      const platform::AEAssessmentConfiguration& /*configuration*/,
      std::shared_ptr<platform::AEAssessmentSessionDelegate> delegate) override {
    delegates.push_back(delegate);
    return std::make_unique<Session>(calls);
  }

  Calls calls;
  std::vector<std::shared_ptr<platform::AEAssessmentSessionDelegate>> delegates;
};

struct FakeFixture {
  FakeAssessment framework;
  platform::ScopedOverride<platform::AEAssessment> use{&framework};
  RecordingSink sink;
  std::shared_ptr<AssessmentMode> mode = AssessmentMode::Create(sink);
  testing::ScopedRecordingHost host;
};

std::string Error(const std::string& answer) {
  nlohmann::json json = Answer(answer);
  EXPECT_FALSE(json["ok"]);
  return json.value("error", "");
}

TEST(AssessmentModeTest, OneSessionAtATime) {
  FakeFixture f;
  EXPECT_EQ(Error(f.mode->end()), "no assessment session is running");
  EXPECT_EQ(Error(f.mode->update("{}")), "no assessment session is running");
  ASSERT_TRUE(Answer(f.mode->begin("{}"))["ok"]);
  EXPECT_EQ(Error(f.mode->begin("{}")), "an assessment session is already beginning; end it first");
  EXPECT_EQ(Error(f.mode->update("{}")),
            "the assessment session is beginning, not active; it cannot be updated");
  f.framework.delegates[0]->assessmentSessionDidBegin();
  EXPECT_EQ(Error(f.mode->begin("{}")), "an assessment session is already active; end it first");
  ASSERT_TRUE(Answer(f.mode->update("{}"))["ok"]);
  f.framework.delegates[0]->assessmentSessionWasInterruptedWithError({"d", 1, "x"});
  EXPECT_EQ(Error(f.mode->update("{}")),
            "the assessment session is interrupted, not active; it cannot be updated");
  ASSERT_TRUE(Answer(f.mode->end())["ok"]);
  EXPECT_EQ(Error(f.mode->end()), "the assessment session is already ending");
  EXPECT_EQ(Error(f.mode->begin("{}")), "an assessment session is already ending; end it first");
  // Refusals changed nothing: one session, begun once, updated once, ended once.
  EXPECT_EQ(f.framework.delegates.size(), 1U);
  EXPECT_EQ(f.framework.calls.begin, 1);
  EXPECT_EQ(f.framework.calls.update, 1);
  EXPECT_EQ(f.framework.calls.end, 1);
  f.framework.delegates[0]->assessmentSessionDidEnd();
  EXPECT_EQ(f.mode->state(), AssessmentMode::State::kNone);
  EXPECT_TRUE(Answer(f.mode->begin("{}"))["ok"]);
}

TEST(AssessmentModeTest, LateCallbacksReachTheSinkWithoutChangingANewerSession) {
  FakeFixture f;
  ASSERT_TRUE(Answer(f.mode->begin("{}"))["ok"]);
  auto first = f.framework.delegates[0];
  first->assessmentSessionFailedToBeginWithError({"d", 7, "refused"});
  ASSERT_TRUE(Answer(f.mode->begin("{}"))["ok"]);
  f.framework.delegates[1]->assessmentSessionDidBegin();
  first->assessmentSessionDidEnd();  // the first session's, after it failed
  EXPECT_EQ(f.mode->state(), AssessmentMode::State::kActive);
  EXPECT_EQ(f.sink.WaitFor(3),
            (std::vector<SessionEvent>{Failed(Kind::kFailedToBegin, {"d", 7, "refused"}),
                                       Plain(Kind::kDidBegin), Plain(Kind::kDidEnd)}));
}

TEST(AssessmentModeTest, CallbackAfterTheModeIsGoneDoesNothing) {
  FakeFixture f;
  ASSERT_TRUE(Answer(f.mode->begin("{}"))["ok"]);
  auto delegate = f.framework.delegates[0];
  f.mode.reset();
  delegate->assessmentSessionDidEnd();
  EXPECT_TRUE(f.sink.WaitFor(0).empty());
}

TEST(AssessmentModeTest, FailuresAreLoggedAsErrors) {
  FakeFixture f;
  ASSERT_TRUE(Answer(f.mode->begin("{}"))["ok"]);
  f.framework.delegates[0]->assessmentSessionFailedToBeginWithError(
      {kAEAssessmentErrorDomain, 1, "no entitlement"});
  const auto logs = f.host.logs();
  ASSERT_FALSE(logs.empty());
  EXPECT_EQ(logs.back(),
            (testing::LogLine{
                "Assessment session: failedToBegin (AEAssessmentErrorDomain 1: no entitlement)",
                "ERROR"}));
}

}  // namespace
}  // namespace osxnatives::assessment
