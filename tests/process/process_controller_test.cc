#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>

#include "process/process_controller_swift.h"
#include "tests/support/fake_process_platform.h"
#include "tests/support/recording_host.h"

namespace osxnatives {
namespace {

using platform::ScopedOverride;
using testing::FakePosixProcess;
using testing::LogLine;
using Sent = FakePosixProcess::Sent;

// Process control with a `kill` that only records: nothing here can reach a
// real process, whatever the code under test tries.
class ProcessControlTest : public ::testing::Test {
 protected:
  testing::ScopedRecordingHost host_;
  FakePosixProcess process_;
  ScopedOverride<platform::PosixProcess> use_process_{&process_};
  ProcessControllerSwift controller_;
};

// One operation of the controller with its signal and its lines.
struct Operation {
  const char* name;
  std::function<std::optional<ProcessList>(ProcessControllerSwift&, const std::string&)> run;
  int signal;
  std::string parse_prefix;
  LogLine structure_line;
  std::string summary_prefix;
};

const Operation kPause{"Pause",
                       [](auto& c, const auto& j) { return c.pauseAll(j); },
                       SIGSTOP,
                       "Process json conversion failed for PAUSE with error: ",
                       {"Process json conversion failed for PAUSE with error.", "ERROR"},
                       "Pausing processes: "};
const Operation kKill{"Kill",
                      [](auto& c, const auto& j) { return c.killAll(j); },
                      SIGKILL,
                      "Process json conversion failed for KILL with error: ",
                      {"Process json conversion failed for KILL with error", "error"},
                      "Killing processes: "};
const Operation kResume{"Resume",
                        [](auto& c, const auto& j) -> std::optional<ProcessList> {
                          c.resumeAll(j);
                          return ProcessList();
                        },
                        SIGCONT,
                        "Process json conversion failed for RESUME with error: ",
                        {"Process json conversion failed for RESUME with error", "error"},
                        "Resuming processes: "};

void PrintTo(const Operation& op, std::ostream* os) { *os << op.name; }

class EveryOperationTest : public ProcessControlTest,
                           public ::testing::WithParamInterface<Operation> {
 protected:
  std::optional<ProcessList> Run(const std::string& json) {
    return GetParam().run(controller_, json);
  }
  bool returns_list() const { return GetParam().signal != SIGCONT; }
};

TEST_P(EveryOperationTest, TextThatIsNotJsonSendsNothing) {
  for (const char* text : {"", "not json", "{\"processes\": [", "42", "\"text\"", "null"}) {
    testing::ScopedRecordingHost host;
    const auto result = Run(text);
    if (returns_list()) {
      EXPECT_EQ(result, std::nullopt) << text;
    }
    const auto logs = host.logs();
    ASSERT_EQ(logs.size(), 1U) << text;
    EXPECT_EQ(logs[0].level, "error");
    EXPECT_EQ(logs[0].message.rfind(GetParam().parse_prefix, 0), 0U) << logs[0].message;
    EXPECT_GT(logs[0].message.size(), GetParam().parse_prefix.size()) << "no description";
  }
  EXPECT_TRUE(process_.sent().empty());
}

TEST_P(EveryOperationTest, WrongStructureSendsNothing) {
  for (const char* text : {
           R"([{"pid": "5"}])",
           R"({})",
           R"({"other": []})",
           R"({"processes": {"pid": "5"}})",
           R"({"processes": "5"})",
           R"({"processes": [{"pid": "5"}, 5]})",
           R"({"processes": [{"pid": "5"}, null]})",
           R"({"processes": [[]]})",
       }) {
    testing::ScopedRecordingHost host;
    const auto result = Run(text);
    if (returns_list()) {
      EXPECT_EQ(result, std::nullopt) << text;
    }
    EXPECT_EQ(host.logs(), std::vector<LogLine>{GetParam().structure_line}) << text;
  }
  EXPECT_TRUE(process_.sent().empty());
}

TEST_P(EveryOperationTest, EmptyArraySendsNothingAndLogsThePrefix) {
  const auto result = Run(R"({"processes": [], "extra": 1})");
  ASSERT_TRUE(result.has_value());
  EXPECT_TRUE(result->empty());
  EXPECT_EQ(host_.logs(), (std::vector<LogLine>{{GetParam().summary_prefix, "INFO"}}));
  EXPECT_TRUE(process_.sent().empty());
}

TEST_P(EveryOperationTest, OnlyPositiveIdsAreEverSignalled) {
  process_.alive = {0, -1, 12, 4242};  // a delivery to 0 or -1 would "succeed"
  const std::string doc = R"({"processes": [
      {"pid": "12", "processName": "a"},
      {"pid": "0", "processName": "zero"},
      {"pid": "-1", "processName": "all"},
      {"pid": "-2147483648", "processName": "min"},
      {"pid": 4242, "processName": "number"},
      {"processName": "missing"},
      {"pid": "x1", "processName": "malformed"},
      {"pid": " 12", "processName": "blank"},
      {"pid": "2147483648", "processName": "big"},
      {"pid": null, "processName": "null"},
      {"pid": "+4242"}]})";
  const auto result = Run(doc);
  EXPECT_EQ(process_.sent(),
            (std::vector<Sent>{{12, GetParam().signal}, {4242, GetParam().signal}}));
  EXPECT_EQ(host_.logs(),
            (std::vector<LogLine>{
                {GetParam().summary_prefix +
                     "a, zero, all, min, number, missing, malformed, blank, big, null, , ",
                 "INFO"}}));
  if (!returns_list()) {
    return;
  }
  ASSERT_TRUE(result.has_value());
  std::vector<std::string> failed;
  for (const auto& p : *result) {
    failed.push_back(*p->localizedName);
  }
  EXPECT_EQ(failed, (std::vector<std::string>{"zero", "all", "min", "number", "missing",
                                              "malformed", "blank", "big", "null"}));
}

TEST_P(EveryOperationTest, TheLibrarysOwnProcessIsNeverSignalled) {
  process_.alive = {process_.own_pid, 77};
  const std::string own = std::to_string(process_.own_pid);
  const auto result = Run(R"({"processes": [{"pid": ")" + own +
                          R"(", "processName": "host"}, {"pid": "77", "processName": "other"}]})");
  EXPECT_EQ(process_.sent(), (std::vector<Sent>{{77, GetParam().signal}}));
  if (returns_list()) {
    ASSERT_TRUE(result.has_value());
    ASSERT_EQ(result->size(), 1U);
    EXPECT_EQ(*(*result)[0]->localizedName, "host");
  }
}

TEST_P(EveryOperationTest, DocumentWrittenByTheLibraryIsAccepted) {
  process_.alive = {412};
  const auto result = Run(R"({"processes": [
      {"pid": "412", "processName": "Mail", "parentProcessName": "launchd",
       "processPath": "/x", "processType": "NONWINDOW", "state": "KILLED", "unknown": [1]}]})");
  EXPECT_EQ(process_.sent(), (std::vector<Sent>{{412, GetParam().signal}}));
  if (returns_list()) {
    EXPECT_TRUE(result.has_value() && result->empty());
  }
  EXPECT_EQ(host_.logs(), (std::vector<LogLine>{{GetParam().summary_prefix + "Mail, ", "INFO"}}));
}

INSTANTIATE_TEST_SUITE_P(Operations, EveryOperationTest, ::testing::Values(kPause, kKill, kResume),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProcessControlTest, FailedSignalReturnsTheRecordAsBuilt) {
  const auto result =
      controller_.pauseAll(R"({"processes": [{"pid": "4242", "processName": "Foo"}]})");
  ASSERT_TRUE(result.has_value());
  ASSERT_EQ(result->size(), 1U);
  const ProcessSwift& p = *(*result)[0];
  EXPECT_EQ(p.processID, 4242);
  EXPECT_EQ(p.pid, "4242");
  EXPECT_EQ(p.localizedName, "Foo");
  EXPECT_EQ(p.processType, ProcessType::windowed);
  EXPECT_EQ(p.state, ProcessState::active);
  EXPECT_EQ(p.bundleID, std::nullopt);
  EXPECT_EQ(p.parentProcessName, std::nullopt);
  EXPECT_EQ(p.processPath, std::nullopt);
}

TEST_F(ProcessControlTest, CreateProcessFillsDefaultsForMissingMembers) {
  std::string summary = "x, ";
  const auto p = controller_.createProcess(nlohmann::json::object({{"processName", 5}}), summary);
  EXPECT_EQ(summary, "x, , ");
  EXPECT_EQ(p->pid, "");
  EXPECT_EQ(p->localizedName, "");
  EXPECT_EQ(p->processID, 0);
}

TEST_F(ProcessControlTest, CommandsRefuseIdsThatNameGroups) {
  process_.alive = {0, -1, 5};
  for (int32_t id : {0, -1, INT32_MIN}) {
    ProcessSwift p;
    p.processID = id;
    EXPECT_FALSE(PauseCommand().pause(p));
    EXPECT_FALSE(KillCommand().kill(p));
    EXPECT_FALSE(ResumeCommand().resume(p));
  }
  EXPECT_TRUE(process_.sent().empty());
  ProcessSwift five;
  five.processID = 5;
  EXPECT_TRUE(PauseCommand().pause(five));
  EXPECT_TRUE(ResumeCommand().resume(five));
  EXPECT_TRUE(KillCommand().kill(five));
  EXPECT_EQ(process_.sent(), (std::vector<Sent>{{5, SIGSTOP}, {5, SIGCONT}, {5, SIGKILL}}));
}

TEST_F(ProcessControlTest, CurrentProcessIdComesFromThePlatform) {
  process_.own_pid = 31337;
  EXPECT_EQ(controller_.getCurrentProcessId(), 31337);
  EXPECT_TRUE(host_.logs().empty());
}

}  // namespace
}  // namespace osxnatives
