#include <gtest/gtest.h>

#include <climits>
#include <nlohmann/json.hpp>
#include <string>

#include "common/unicode_text.h"
#include "platform/sim/workspace.h"
#include "process/pid_text.h"
#include "process/process_swift.h"
#include "tests/support/recording_host.h"
#include "tests/support/sim_desktop.h"
#include "utility/utility_swift.h"

namespace osxnatives {
namespace {

using platform::ScopedOverride;
using testing::LogLine;

TEST(ProcessSwiftTest, DescriptionUsesCaseNamesAndUnknown) {
  ProcessSwift fresh;
  EXPECT_EQ(fresh.description(),
            "Process(name: Unknown, pid: Unknown, state: active, processType: windowed)");
  ProcessSwift mail;
  mail.localizedName = "Mail";
  mail.pid = "412";
  mail.state = ProcessState::paused;
  EXPECT_EQ(mail.description(),
            "Process(name: Mail, pid: 412, state: paused, processType: windowed)");
  mail.state = ProcessState::terminated;
  mail.processType = ProcessType::nonWindow;
  mail.localizedName = "";
  EXPECT_EQ(mail.description(),
            "Process(name: , pid: 412, state: terminated, processType: nonWindow)");
}

TEST(ProcessSwiftTest, DocumentTextsDifferFromCaseNames) {
  const std::vector<std::tuple<ProcessState, std::string, std::string>> states = {
      {ProcessState::active, "ACTIVE", "active"},
      {ProcessState::paused, "PAUSE", "paused"},
      {ProcessState::terminated, "TERMINATE", "terminated"},
      {ProcessState::killed, "KILLED", "killed"}};
  for (const auto& [state, text, name] : states) {
    EXPECT_EQ(DocumentText(state), text);
    EXPECT_EQ(CaseName(state), name);
  }
  EXPECT_EQ(DocumentText(ProcessType::windowed), "WINDOW");
  EXPECT_EQ(DocumentText(ProcessType::nonWindow), "NONWINDOW");
}

TEST(PidTextTest, StrictSigned32BitDecimal) {
  const std::vector<std::pair<std::string, std::optional<int32_t>>> cases = {
      {"42", 42},
      {"+42", 42},
      {"-42", -42},
      {"0", 0},
      {"-0", 0},
      {"007", 7},
      {"2147483647", INT32_MAX},
      {"-2147483648", INT32_MIN},
      {"2147483648", std::nullopt},
      {"-2147483649", std::nullopt},
      {"99999999999999999999999", std::nullopt},
      {" 5", std::nullopt},
      {"5 ", std::nullopt},
      {"12abc", std::nullopt},
      {"", std::nullopt},
      {"+", std::nullopt},
      {"-", std::nullopt},
      {"+-5", std::nullopt},
      {"--5", std::nullopt},
      {"0x10", std::nullopt},
      {"\xD9\xA3", std::nullopt},  // ARABIC-INDIC DIGIT THREE
      {std::string("4\0"
                   "2",
                   3),
       std::nullopt},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(ParsePidText(text), expected) << text;
  }
}

TEST(PidTextTest, AtoiReadsALeadingNumber) {
  EXPECT_EQ(AtoiPidText(" 42abc"), 42);
  EXPECT_EQ(AtoiPidText("\t\n-8"), -8);
  EXPECT_EQ(AtoiPidText("abc"), 0);
  EXPECT_EQ(AtoiPidText(""), 0);
  EXPECT_EQ(AtoiPidText("2147483648"), INT32_MIN);
}

// processesToJSON with a simulated current application.
class ProcessesToJsonTest : public ::testing::Test {
 protected:
  void UseHost(const std::string& scenario) {
    desktop_ = std::make_unique<testing::TestDesktop>(scenario);
    workspace_ = std::make_unique<platform::sim::SimWorkspace>(desktop_->desktop(), 1);
    use_workspace_ = std::make_unique<ScopedOverride<platform::NSWorkspace>>(workspace_.get());
  }

  static std::shared_ptr<ProcessSwift> Named(std::optional<std::string> name, std::string pid) {
    auto p = std::make_shared<ProcessSwift>();
    p->localizedName = std::move(name);
    p->pid = std::move(pid);
    return p;
  }

  static nlohmann::json Parse(const std::optional<std::string>& text) {
    EXPECT_TRUE(text.has_value());
    return nlohmann::json::parse(text.value_or("null"));
  }

  testing::ScopedRecordingHost host_;
  std::unique_ptr<testing::TestDesktop> desktop_;
  std::unique_ptr<platform::sim::SimWorkspace> workspace_;
  std::unique_ptr<ScopedOverride<platform::NSWorkspace>> use_workspace_;
};

TEST_F(ProcessesToJsonTest, EmptyListGivesNoDocument) {
  UseHost(R"({"currentApplication": {"localizedName": "ExamHost"}})");
  EXPECT_EQ(UtilitySwift::processesToJSON({}), std::nullopt);
}

TEST_F(ProcessesToJsonTest, WritesMembersInListOrderAndSkipsTheHost) {
  UseHost(R"({"currentApplication": {"localizedName": "ExamHost"}})");
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

  const std::optional<std::string> text =
      UtilitySwift::processesToJSON({full, Named("ExamHost", "1"), paused, bare});
  ASSERT_TRUE(text.has_value());
  EXPECT_NE(text->find('\n'), std::string::npos) << "pretty-printed";
  const nlohmann::json expected = R"({"processes": [
      {"pid": "412", "processName": "Mail", "parentProcessName": "launchd",
       "processPath": "/Applications/Mail.app/Contents/MacOS/Mail",
       "processType": "NONWINDOW", "state": "TERMINATE"},
      {"pid": "7", "processName": "Notes", "processType": "WINDOW", "state": "PAUSE"},
      {"processType": "WINDOW", "state": "ACTIVE"}]})"_json;
  EXPECT_EQ(Parse(text), expected);
  EXPECT_TRUE(host_.logs().empty());
}

TEST_F(ProcessesToJsonTest, HostComparisonIsCanonicalWithoutCaseFolding) {
  // "Café" precomposed as host; the decomposed spelling is the same name.
  UseHost(R"({"currentApplication": {"localizedName": "Caf\u00e9"}})");
  const auto doc = Parse(UtilitySwift::processesToJSON(
      {Named("Cafe\xCC\x81", "1"), Named("CAF\xC3\x89", "2"), Named("Cafe", "3"),
       Named("Caf\xC3\xA9", "4"), Named(std::nullopt, "5")}));
  std::vector<std::string> pids;
  for (const auto& p : doc["processes"]) {
    pids.push_back(p["pid"]);
  }
  EXPECT_EQ(pids, (std::vector<std::string>{"2", "3", "5"}));
}

TEST_F(ProcessesToJsonTest, HostWithoutNameSkipsOnlyEmptyNames) {
  UseHost("{}");
  const auto doc = Parse(
      UtilitySwift::processesToJSON({Named("", "1"), Named(std::nullopt, "2"), Named("x", "3")}));
  ASSERT_EQ(doc["processes"].size(), 2U);
  EXPECT_EQ(doc["processes"][0]["pid"], "2");
  EXPECT_FALSE(doc["processes"][0].contains("processName"));
  EXPECT_EQ(doc["processes"][1]["pid"], "3");
}

TEST_F(ProcessesToJsonTest, OnlyTheHostGivesAnEmptyArray) {
  UseHost(R"({"currentApplication": {"localizedName": "ExamHost"}})");
  EXPECT_EQ(Parse(UtilitySwift::processesToJSON({Named("ExamHost", "1")})),
            R"({"processes": []})"_json);
}

TEST_F(ProcessesToJsonTest, UnwritableTextLogsAndGivesNoDocument) {
  UseHost("{}");
  EXPECT_EQ(UtilitySwift::processesToJSON({Named("bad\xFF", "1")}), std::nullopt);
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
  EXPECT_TRUE(CanonicallyEquivalent("\xE1\xB8\x8B\xCC\xA3", "d\xCC\xA3\xCC\x87"));  // ḍ̇ orders
  EXPECT_FALSE(CanonicallyEquivalent("\xEF\xAC\x81", "fi"));  // ligature: compatibility only
}

}  // namespace
}  // namespace osxnatives
