#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <string>

#include "process/process_controller_swift.h"
#include "tests/support/fake_process_platform.h"
#include "tests/support/recording_host.h"

namespace osxnatives {
namespace {

using testing::FakePosixProcess;
using testing::LogLine;
using Sent = FakePosixProcess::Sent;

// One operation of the controller with its signal and its lines. `run`
// gives what the operation returns (resume returns nothing: an empty list).
struct Operation {
  const char* name;
  std::function<std::optional<ProcessList>(ProcessControllerSwift&, const std::string&)> run;
  int signal;
  std::string parse_prefix;
  LogLine structure_line;
  std::string summary_prefix;
};

void PrintTo(const Operation& op, std::ostream* os) { *os << op.name; }

// Process control with a `kill` that only records: nothing here can reach a
// real process, whatever the code under test tries.
class EveryOperationTest : public ::testing::TestWithParam<Operation> {
 protected:
  std::optional<ProcessList> Run(const std::string& json) {
    return GetParam().run(controller_, json);
  }
  bool returns_list() const { return GetParam().signal != SIGCONT; }

  testing::ScopedRecordingHost host_;
  FakePosixProcess process_;
  platform::ScopedOverride<platform::PosixProcess> use_process_{&process_};
  ProcessControllerSwift controller_;
};

TEST_P(EveryOperationTest, BadDocumentSendsNothing) {
  for (const char* text : {"", "not json", "{\"processes\": [", "null"}) {
    testing::ScopedRecordingHost host;
    const auto result = Run(text);
    EXPECT_TRUE(!returns_list() || result == std::nullopt) << text;
    const auto logs = host.logs();
    ASSERT_EQ(logs.size(), 1U) << text;
    EXPECT_EQ(logs[0].level, "error");
    EXPECT_EQ(logs[0].message.rfind(GetParam().parse_prefix, 0), 0U) << logs[0].message;
    EXPECT_GT(logs[0].message.size(), GetParam().parse_prefix.size()) << "no description";
  }
  for (const char* text : {R"([{"pid": "5"}])", R"({"other": []})", R"({"processes": "5"})",
                           R"({"processes": [{"pid": "5"}, null]})"}) {
    testing::ScopedRecordingHost host;
    const auto result = Run(text);
    EXPECT_TRUE(!returns_list() || result == std::nullopt) << text;
    EXPECT_EQ(host.logs(), std::vector<LogLine>{GetParam().structure_line}) << text;
  }
  const auto result = Run(R"({"processes": [], "extra": 1})");
  EXPECT_TRUE(result.has_value() && result->empty());
  EXPECT_EQ(host_.logs(), (std::vector<LogLine>{{GetParam().summary_prefix, "INFO"}}));
  EXPECT_TRUE(process_.sent.empty());
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
  EXPECT_EQ(process_.sent, (std::vector<Sent>{{12, GetParam().signal}, {4242, GetParam().signal}}));
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
  EXPECT_EQ(process_.sent, (std::vector<Sent>{{77, GetParam().signal}}));
  if (returns_list()) {
    ASSERT_TRUE(result.has_value());
    ASSERT_EQ(result->size(), 1U);
    EXPECT_EQ(*(*result)[0]->localizedName, "host");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Operations, EveryOperationTest,
    ::testing::Values(Operation{"Pause",
                                [](auto& c, const auto& j) { return c.pauseAll(j); },
                                SIGSTOP,
                                "Process json conversion failed for PAUSE with error: ",
                                {"Process json conversion failed for PAUSE with error.", "ERROR"},
                                "Pausing processes: "},
                      Operation{"Kill",
                                [](auto& c, const auto& j) { return c.killAll(j); },
                                SIGKILL,
                                "Process json conversion failed for KILL with error: ",
                                {"Process json conversion failed for KILL with error", "error"},
                                "Killing processes: "},
                      Operation{"Resume",
                                [](auto& c, const auto& j) -> std::optional<ProcessList> {
                                  c.resumeAll(j);
                                  return ProcessList();
                                },
                                SIGCONT,
                                "Process json conversion failed for RESUME with error: ",
                                {"Process json conversion failed for RESUME with error", "error"},
                                "Resuming processes: "}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProcessCommandTest, CommandsRefuseIdsThatNameGroups) {
  FakePosixProcess process;
  platform::ScopedOverride<platform::PosixProcess> use(&process);
  process.alive = {0, -1, 5};
  for (int32_t id : {0, -1, INT32_MIN, 5}) {
    ProcessSwift p;
    p.processID = id;
    EXPECT_EQ(PauseCommand().pause(p), id == 5);
    EXPECT_EQ(ResumeCommand().resume(p), id == 5);
    EXPECT_EQ(KillCommand().kill(p), id == 5);
  }
  EXPECT_EQ(process.sent, (std::vector<Sent>{{5, SIGSTOP}, {5, SIGCONT}, {5, SIGKILL}}));
}

}  // namespace
}  // namespace osxnatives
