#include <gtest/gtest.h>

#include <climits>
#include <nlohmann/json.hpp>
#include <string>

#include "platform/sim/workspace.h"
#include "platform/unicode_text.h"
#include "process/pid_text.h"
#include "process/process_swift.h"
#include "tests/support/recording_host.h"
#include "tests/support/sim_desktop.h"
#include "utility/utility_swift.h"

namespace osxnatives {
namespace {

using platform::ScopedOverride;
using std::string_literals::operator""s;

TEST(ProcessSwiftTest, DescriptionUsesCaseNamesAndUnknown) {
  ProcessSwift p;
  EXPECT_EQ(p.description(),
            "Process(name: Unknown, pid: Unknown, state: active, processType: windowed)");
  p.localizedName = "";
  p.pid = "412";
  p.state = ProcessState::terminated;
  p.processType = ProcessType::nonWindow;
  EXPECT_EQ(p.description(),
            "Process(name: , pid: 412, state: terminated, processType: nonWindow)");
}

TEST(PidTextTest, StrictSigned32BitDecimal) {
  for (const char* text : {"42", "+42", "-42", "-0", "007"}) {
    EXPECT_EQ(ParsePidText(text), std::stoi(text)) << text;
  }
  EXPECT_EQ(ParsePidText("2147483647"), INT32_MAX);
  EXPECT_EQ(ParsePidText("-2147483648"), INT32_MIN);
  // The last two: an ARABIC-INDIC DIGIT THREE, and a zero byte inside.
  for (const std::string& text : {"2147483648"s, "-2147483649"s, " 5"s, "5 "s, "12abc"s, ""s, "+"s,
                                  "+-5"s, "0x10"s, "\xD9\xA3"s, "4\0002"s}) {
    EXPECT_EQ(ParsePidText(text), std::nullopt) << text;
  }
  EXPECT_EQ(AtoiPidText("\t\n-8abc"), -8);
  EXPECT_EQ(AtoiPidText("abc"), 0);
  EXPECT_EQ(AtoiPidText("2147483648"), INT32_MIN);
}

// processesToJSON with a simulated current application named by `scenario`.
class ProcessesToJsonTest : public ::testing::Test {
 protected:
  std::optional<std::string> Write(const std::string& scenario, const ProcessList& list) {
    testing::TestDesktop desktop(scenario);
    platform::sim::SimWorkspace workspace(desktop.desktop(), 1);
    ScopedOverride<platform::NSWorkspace> use(&workspace);
    return UtilitySwift::processesToJSON(list);
  }
  // The pids of the written document, in order.
  std::vector<std::string> Pids(const std::string& scenario, const ProcessList& list) {
    std::vector<std::string> pids;
    const nlohmann::json doc = nlohmann::json::parse(Write(scenario, list).value());
    for (const auto& p : doc["processes"]) {
      pids.push_back(p["pid"]);
    }
    return pids;
  }
  static std::shared_ptr<ProcessSwift> Named(std::optional<std::string> name, std::string pid) {
    auto p = std::make_shared<ProcessSwift>();
    p->localizedName = std::move(name);
    p->pid = std::move(pid);
    return p;
  }

  static constexpr char kHost[] = R"({"currentApplication": {"localizedName": "ExamHost"}})";
  testing::ScopedRecordingHost host_;
};

TEST_F(ProcessesToJsonTest, WritesMembersInListOrderAndSkipsTheHost) {
  auto full = Named("Mail", "412");
  full->parentProcessName = "launchd";
  full->processPath = "/Applications/Mail.app/Contents/MacOS/Mail";
  full->processType = ProcessType::nonWindow;
  full->state = ProcessState::terminated;
  full->bundleID = "com.apple.mail";
  full->processAction = std::make_shared<ProcessAction>();
  auto paused = Named("Notes", "7");
  paused->state = ProcessState::paused;
  auto bare = std::make_shared<ProcessSwift>();
  bare->processID = 99;
  bare->state = ProcessState::killed;

  const auto text = Write(kHost, {full, Named("ExamHost", "1"), paused, bare});
  ASSERT_TRUE(text.has_value());
  EXPECT_NE(text->find('\n'), std::string::npos) << "pretty-printed";
  EXPECT_EQ(nlohmann::json::parse(*text), R"({"processes": [
      {"pid": "412", "processName": "Mail", "parentProcessName": "launchd",
       "processPath": "/Applications/Mail.app/Contents/MacOS/Mail",
       "processType": "NONWINDOW", "state": "TERMINATE"},
      {"pid": "7", "processName": "Notes", "processType": "WINDOW", "state": "PAUSE"},
      {"processType": "WINDOW", "state": "KILLED"}]})"_json);
  EXPECT_EQ(Write(kHost, {}), std::nullopt);
  EXPECT_EQ(nlohmann::json::parse(Write(kHost, {Named("ExamHost", "1")}).value()),
            R"({"processes": []})"_json);
  EXPECT_TRUE(host_.logs().empty());
}

TEST_F(ProcessesToJsonTest, HostComparisonIsCanonicalWithoutCaseFolding) {
  // "Café" precomposed as host; the decomposed spelling is the same name.
  EXPECT_EQ(Pids(R"({"currentApplication": {"localizedName": "Caf\u00e9"}})",
                 {Named("Cafe\xCC\x81", "1"), Named("CAF\xC3\x89", "2"), Named("Cafe", "3"),
                  Named("Caf\xC3\xA9", "4"), Named(std::nullopt, "5")}),
            (std::vector<std::string>{"2", "3", "5"}));
  // A host without a name skips only empty names.
  EXPECT_EQ(Pids("{}", {Named("", "1"), Named(std::nullopt, "2"), Named("x", "3")}),
            (std::vector<std::string>{"2", "3"}));
}

TEST_F(ProcessesToJsonTest, UnwritableTextLogsAndGivesNoDocument) {
  EXPECT_EQ(Write("{}", {Named("bad\xFF", "1")}), std::nullopt);
  const auto logs = host_.logs();
  ASSERT_EQ(logs.size(), 1U);
  EXPECT_EQ(logs[0].level, "error");
  EXPECT_EQ(logs[0].message.rfind("Error serializing JSON: ", 0), 0U) << logs[0].message;
  EXPECT_GT(logs[0].message.size(), std::string("Error serializing JSON: ").size());
}

TEST(UnicodeTextTest, RepairAndTrim) {
  EXPECT_EQ(ToValidUtf8("a\xC3"), "a\xEF\xBF\xBD");
  EXPECT_EQ(ToValidUtf8("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");  // surrogate
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));                                           // overlong "/"
  EXPECT_TRUE(IsValidUtf8(std::string("a\0b", 3)));
  EXPECT_EQ(TrimControlAndFormat(std::string("\0\0x\0", 4)), "x");
  EXPECT_TRUE(CanonicallyEquivalent("\xE1\xB8\x8B\xCC\xA3", "d\xCC\xA3\xCC\x87"));  // ḍ̇ orders
  EXPECT_FALSE(CanonicallyEquivalent("\xEF\xAC\x81", "fi"));  // ligature: compatibility only
}

}  // namespace
}  // namespace osxnatives
