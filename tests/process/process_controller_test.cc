// The process-list document: written by processesToJSON, read by pause, kill
// and resume.
#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <set>

#include "platform/posix_process.h"
#include "platform/sim/workspace.h"
#include "platform/unicode_text.h"
#include "process/pid_text.h"
#include "process/process_controller_swift.h"
#include "tests/support/recording_host.h"
#include "tests/support/sim_desktop.h"
#include "utility/utility_swift.h"

namespace osxnatives {
namespace {

using json = nlohmann::json;
using testing::LogLine;
using std::string_literals::operator""s;

TEST(PidTextTest, StrictSigned32BitDecimal) {
  for (const char* text : {"+42", "-0", "007", "2147483647", "-2147483648"}) {
    EXPECT_EQ(ParsePidText(text), std::stoll(text)) << text;
  }
  // The last two: an ARABIC-INDIC DIGIT THREE, and a zero byte inside.
  for (const std::string& text : {"2147483648"s, "-2147483649"s, " 5"s, "5 "s, "12abc"s, ""s, "+"s,
                                  "+-5"s, "0x10"s, "\xD9\xA3"s, "4\0002"s}) {
    EXPECT_EQ(ParsePidText(text), std::nullopt) << text;
  }
}

TEST(UnicodeTextTest, CanonicalEquivalenceOrdersMarksButKeepsCompatibilityApart) {
  EXPECT_TRUE(CanonicallyEquivalent("\xE1\xB8\x8B\xCC\xA3", "d\xCC\xA3\xCC\x87"));  // ḍ̇
  EXPECT_FALSE(CanonicallyEquivalent("\xEF\xAC\x81", "fi"));                        // the ligature
  EXPECT_EQ(ToValidUtf8("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");   // surrogate
}

// processesToJSON's document, the current application named by `scenario`.
std::optional<std::string> Write(const ProcessList& list,
                                 const std::string& scenario = R"({"currentApplication":
                                     {"localizedName": "ExamHost"}})") {
  testing::TestDesktop desktop(scenario);
  platform::sim::SimWorkspace workspace(desktop.desktop(), 1);
  platform::ScopedOverride<platform::NSWorkspace> use(&workspace);
  return UtilitySwift::processesToJSON(list);
}
std::shared_ptr<ProcessSwift> Named(std::optional<std::string> name, std::optional<std::string> pid,
                                    ProcessState state = ProcessState::active) {
  auto p = std::make_shared<ProcessSwift>();
  p->localizedName = std::move(name);
  p->pid = std::move(pid);
  p->state = state;
  return p;
}

TEST(ProcessesToJsonTest, WritesMembersInListOrderAndSkipsTheHost) {
  testing::ScopedRecordingHost host;
  // Texts a writer must escape, or pass through, to read back the same.
  auto full = Named("say \"hi\"\\ \b\f\n\r\t\x01\x7F", "412", ProcessState::terminated);
  full->parentProcessName = "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80";
  full->processPath = "/a b/nul\0in"s;
  full->processType = ProcessType::nonWindow;
  full->bundleID = "com.apple.mail";
  const json written = {{"pid", "412"},
                        {"processName", *full->localizedName},
                        {"parentProcessName", *full->parentProcessName},
                        {"processPath", *full->processPath},
                        {"processType", "NONWINDOW"},
                        {"state", "TERMINATE"}};
  EXPECT_EQ(
      json::parse(Write({full, Named("ExamHost", "1"), Named("Notes", "7", ProcessState::paused),
                         Named(std::nullopt, std::nullopt, ProcessState::killed), full})
                      .value()),
      (json{
          {"processes",
           {written,
            {{"pid", "7"}, {"processName", "Notes"}, {"processType", "WINDOW"}, {"state", "PAUSE"}},
            {{"processType", "WINDOW"}, {"state", "KILLED"}},
            written}}}));
  EXPECT_EQ(Write({}), std::nullopt);
  EXPECT_EQ(json::parse(Write({Named("ExamHost", "1")}).value()), R"({"processes": []})"_json);
  EXPECT_TRUE(host.logs().empty());

  // The host's name compares canonically, without case folding: "Café"
  // precomposed is the host, decomposed too. A host without a name skips
  // only empty names.
  const auto pids = [](const ProcessList& list, const std::string& scenario) {
    std::vector<std::string> pids;
    const json doc = json::parse(Write(list, scenario).value());
    for (const auto& p : doc["processes"]) pids.push_back(p["pid"]);
    return pids;
  };
  EXPECT_EQ(pids({Named("Cafe\xCC\x81", "1"), Named("CAF\xC3\x89", "2"), Named("Cafe", "3"),
                  Named("Caf\xC3\xA9", "4"), Named(std::nullopt, "5")},
                 R"({"currentApplication": {"localizedName": "Caf\u00e9"}})"),
            (std::vector<std::string>{"2", "3", "5"}));
  EXPECT_EQ(pids({Named("", "1"), Named(std::nullopt, "2"), Named("x", "3")}, "{}"),
            (std::vector<std::string>{"2", "3"}));
}

// Records every signal instead of sending it; delivery succeeds for the pids
// in `alive` only. Nothing here can reach a real process.
struct FakePosixProcess : platform::PosixProcess {
  std::set<int32_t> alive = {0, -1, 12, 4242, 777};  // each delivery would "succeed"
  std::vector<std::pair<int32_t, int>> sent;
  int kill(int32_t pid, int signal) override {
    sent.emplace_back(pid, signal);
    errno = ESRCH;
    return alive.contains(pid) ? 0 : -1;
  }
  int32_t getpid() override { return 777; }
};

TEST(ProcessControllerTest, BadDocumentsSendNothingAndOnlyPositiveIdsNotOursAreSignalled) {
  // Each operation: its signal, the line for a document of the wrong
  // structure, and the start of its summary. Resume returns an empty list here.
  const struct {
    std::function<std::optional<ProcessList>(ProcessControllerSwift&, const std::string&)> run;
    int signal;
    LogLine structure_line;
    std::string summary;
  } operations[] = {{[](auto& c, const auto& j) { return c.pauseAll(j); },
                     SIGSTOP,
                     {"Process json conversion failed for PAUSE with error.", "ERROR"},
                     "Pausing processes: "},
                    {[](auto& c, const auto& j) { return c.killAll(j); },
                     SIGKILL,
                     {"Process json conversion failed for KILL with error", "error"},
                     "Killing processes: "},
                    {[](auto& c, const auto& j) -> std::optional<ProcessList> {
                       c.resumeAll(j);
                       return ProcessList();
                     },
                     SIGCONT,
                     {"Process json conversion failed for RESUME with error", "error"},
                     "Resuming processes: "}};
  for (const auto& op : operations) {
    SCOPED_TRACE(op.summary);
    FakePosixProcess process;
    platform::ScopedOverride<platform::PosixProcess> use(&process);
    ProcessControllerSwift controller;
    const std::string& line = op.structure_line.message;
    const std::string parse_prefix = line.substr(0, line.find(" with error")) + " with error: ";
    // Four that do not parse, then four of the wrong structure.
    const char* texts[] = {"",
                           "not json",
                           "{\"processes\": [",
                           "null",
                           R"([{"pid": "5"}])",
                           R"({"other": []})",
                           R"({"processes": "5"})",
                           R"({"processes": [{"pid": "5"}, null]})"};
    for (size_t i = 0; i < std::size(texts); ++i) {
      SCOPED_TRACE(texts[i]);
      testing::ScopedRecordingHost host;
      const auto result = op.run(controller, texts[i]);
      EXPECT_TRUE(op.signal == SIGCONT || result == std::nullopt);
      const auto logs = host.logs();
      ASSERT_EQ(logs.size(), 1U);
      if (i >= 4) {
        EXPECT_EQ(logs[0], op.structure_line);
      } else {  // the reader's own description follows
        EXPECT_EQ(logs[0].level, "error");
        EXPECT_GT(logs[0].message.size(), parse_prefix.size());
        EXPECT_EQ(logs[0].message.rfind(parse_prefix, 0), 0U) << logs[0].message;
      }
    }
    EXPECT_EQ(op.run(controller, R"({"processes": [], "extra": 1})"), ProcessList());
    EXPECT_TRUE(process.sent.empty());

    testing::ScopedRecordingHost host;
    const auto result = op.run(controller, R"({"processes": [
        {"pid": "12", "processName": "a"},
        {"pid": "0", "processName": "zero"},
        {"pid": "-1", "processName": "all"},
        {"pid": "-2147483648", "processName": "min"},
        {"pid": "777", "processName": "host"},
        {"pid": 4242, "processName": "number"},
        {"processName": "missing"},
        {"pid": " 12", "processName": "blank"},
        {"pid": null, "processName": "null"},
        {"pid": "+4242"}]})");
    EXPECT_EQ(process.sent,
              (std::vector<std::pair<int32_t, int>>{{12, op.signal}, {4242, op.signal}}));
    EXPECT_EQ(host.logs(),
              testing::InfoLines(
                  {op.summary + "a, zero, all, min, host, number, missing, blank, null, , "}));
    if (op.signal == SIGCONT) continue;
    std::vector<std::string> failed;
    for (const auto& p : result.value()) failed.push_back(*p->localizedName);
    EXPECT_EQ(failed, (std::vector<std::string>{"zero", "all", "min", "host", "number", "missing",
                                                "blank", "null"}));
  }
}

}  // namespace
}  // namespace osxnatives
