#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "platform/sim/journal.h"
#include "platform/sim/scenario.h"
#include "tests/support/sim_desktop.h"
#include "tests/support/temp_dir.h"

namespace osxnatives::platform::sim {
namespace {

using osxnatives::testing::TempDir;
using osxnatives::testing::TestDesktop;

int CountLines(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

struct MalformedCase {
  const char* name;
  const char* text;
};

void PrintTo(const MalformedCase& c, std::ostream* os) { *os << c.name; }

class MalformedScenarioTest : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedScenarioTest, GivesOneLineAndTheDefaults) {
  ::testing::internal::CaptureStderr();
  Scenario scenario = Scenario::Parse(GetParam().text, "/tmp/s.json");
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(CountLines(err), 1) << err;
  EXPECT_NE(err.find("/tmp/s.json"), std::string::npos) << err;
  EXPECT_TRUE(scenario.root().is_object());
  EXPECT_TRUE(scenario.root().empty());
}

INSTANTIATE_TEST_SUITE_P(Texts, MalformedScenarioTest,
                         ::testing::Values(MalformedCase{"empty", ""},
                                           MalformedCase{"truncated", "{\"osVersion\": "},
                                           MalformedCase{"array_root", "[1, 2]"},
                                           MalformedCase{"string_root", "\"x\""},
                                           MalformedCase{"trailing_garbage", "{} }"},
                                           MalformedCase{"not_json", "osVersion=14"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ScenarioTest, UnreadableFileGivesOneLineAndTheDefaults) {
  TempDir dir;
  ::testing::internal::CaptureStderr();
  Scenario missing = Scenario::Load((dir.path() / "absent.json").string());
  Scenario folder = Scenario::Load(dir.path().string());
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(CountLines(err), 2) << err;
  EXPECT_TRUE(missing.root().empty());
  EXPECT_TRUE(folder.root().empty());
}

TEST(ScenarioTest, TypedLookupsWarnOnlyForWrongTypes) {
  Scenario scenario = Scenario::Parse(
      R"({"osVersion": "13.6", "flag": true, "count": 3, "wrong": [1], "nothing": null,
          "unknownKey": {"deep": 1}})",
      "test");
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(scenario.String("osVersion"), "13.6");
  EXPECT_EQ(scenario.Bool("flag"), true);
  EXPECT_EQ(scenario.Integer("count"), 3);
  EXPECT_EQ(scenario.String("absent"), std::nullopt);
  EXPECT_EQ(scenario.String("nothing"), std::nullopt);
  EXPECT_EQ(CountLines(::testing::internal::GetCapturedStderr()), 0);

  ::testing::internal::CaptureStderr();
  EXPECT_EQ(scenario.String("wrong"), std::nullopt);
  EXPECT_EQ(scenario.Integer("osVersion"), std::nullopt);
  EXPECT_EQ(scenario.Bool("count"), std::nullopt);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(CountLines(err), 3) << err;
  EXPECT_NE(err.find("\"wrong\""), std::string::npos);
}

TEST(JournalTest, WritesOneObjectPerEffect) {
  TestDesktop test;
  test.desktop().journal().Record("NSApplication", "setPresentationOptions:", {{"options", 442}});
  test.desktop().journal().Record("NSPasteboard", "clearContents", nullptr);
  test.desktop().journal().Record("NSEvent", "deliver", {{"keyCode", 12}}, {{"result", "passed"}});

  const auto entries = test.Journal();
  ASSERT_EQ(entries.size(), 3U);
  EXPECT_EQ(entries[0], nlohmann::json::parse(
                            R"({"service":"NSApplication","call":"setPresentationOptions:",
                                "args":{"options":442}})"));
  EXPECT_EQ(entries[1]["args"], nlohmann::json::object());
  EXPECT_EQ(entries[2]["result"], "passed");
  EXPECT_EQ(entries[2]["args"]["keyCode"], 12);
}

TEST(JournalTest, LinesFromManyThreadsStayWhole) {
  TestDesktop test;
  constexpr int kThreads = 8;
  constexpr int kPerThread = 500;
  std::vector<std::thread> threads;
  threads.reserve(kThreads);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kPerThread; ++i) {
        test.desktop().journal().Record("T", "call",
                                        {{"thread", t}, {"i", i}, {"pad", std::string(200, 'x')}});
      }
    });
  }
  for (auto& thread : threads) thread.join();
  // Parsing every line proves none was interleaved; the count proves none was lost.
  const auto entries = test.Journal();
  ASSERT_EQ(entries.size(), static_cast<size_t>(kThreads * kPerThread));
  std::vector<int> next(kThreads, 0);
  for (const auto& entry : entries) {
    const int t = entry["args"]["thread"];
    EXPECT_EQ(entry["args"]["i"], next[t]++) << "records of one thread out of order";
  }
}

TEST(JournalTest, UnopenablePathRecordsNothingAndSaysSo) {
  TempDir dir;
  ::testing::internal::CaptureStderr();
  Journal journal((dir.path() / "no" / "such" / "folder" / "j.jsonl").string());
  journal.Record("NSPasteboard", "clearContents", nullptr);
  EXPECT_EQ(CountLines(::testing::internal::GetCapturedStderr()), 1);
}

}  // namespace
}  // namespace osxnatives::platform::sim
