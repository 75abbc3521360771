#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "platform/sim/workspace.h"
#include "process/process_discovery_strategy_helper_swift.h"
#include "process/sc_process_discovery_swift.h"
#include "tests/support/fake_process_platform.h"
#include "tests/support/recording_host.h"
#include "tests/support/sim_desktop.h"

namespace osxnatives {
namespace {

using platform::ScopedOverride;
using testing::Kinfo;
using testing::LogLine;

// Discovery against a fake kernel table, paths and windows, and a simulated
// workspace with three applications and the host (pid 100).
class DiscoveryTest : public ::testing::Test {
 protected:
  testing::ScopedRecordingHost host_;
  testing::TestDesktop desktop_{R"({
      "currentApplication": {"localizedName": "ExamHost"},
      "runningApplications": [
        {"pid": 501, "localizedName": "Mail", "bundleIdentifier": "com.apple.mail"},
        {"pid": 502, "localizedName": "Notes"},
        {"pid": 503, "bundleIdentifier": "com.example.nameless"}]})"};
  platform::sim::SimWorkspace workspace_{desktop_.desktop(), 100};
  testing::FakeSysctl sysctl_;
  testing::FakeLibProc libproc_;
  testing::FakeWindowList windows_;
  ScopedOverride<platform::NSWorkspace> use_workspace_{&workspace_};
  ScopedOverride<platform::Sysctl> use_sysctl_{&sysctl_};
  ScopedOverride<platform::LibProc> use_libproc_{&libproc_};
  ScopedOverride<platform::CGWindowList> use_windows_{&windows_};
  SCProcessDiscoverySwift discovery_;
};

TEST_F(DiscoveryTest, RecordsTakeApplicationNamesOrKernelNames) {
  // 501's kernel name cannot be decoded, and 7 repeats: the first record wins.
  sysctl_.table = {Kinfo(1, 0, "launchd"),    Kinfo(501, 1, "M\xFF"),      Kinfo(7, 501, "first"),
                   Kinfo(502, 501, "notesd"), Kinfo(503, 100, "nameless"), Kinfo(7, 1, "second")};
  libproc_.paths = {{501, "/Applications/Mail.app/Contents/MacOS/Mail"}};

  const ProcessList list = discovery_.getAllProcesses("");
  ASSERT_EQ(list.size(), 5U);
  const std::vector<int32_t> order = {1, 501, 7, 502, 503};
  for (size_t i = 0; i < list.size(); ++i) {
    EXPECT_EQ(list[i]->processID, order[i]);
    EXPECT_EQ(list[i]->pid, std::to_string(order[i]));
    EXPECT_EQ(list[i]->state, ProcessState::active);
    EXPECT_EQ(list[i]->processType, ProcessType::nonWindow);
  }
  EXPECT_EQ(list[0]->localizedName, "launchd");
  EXPECT_EQ(list[0]->bundleID, "launchd");
  EXPECT_EQ(list[0]->parentProcessName, "");
  EXPECT_EQ(list[0]->processPath, std::nullopt);
  EXPECT_EQ(list[1]->localizedName, "Mail");
  EXPECT_EQ(list[1]->bundleID, "com.apple.mail");
  EXPECT_EQ(list[1]->processPath, "/Applications/Mail.app/Contents/MacOS/Mail");
  // An application without a bundle identifier: its name stands in.
  EXPECT_EQ(list[3]->bundleID, "Notes");
  EXPECT_EQ(list[3]->parentProcessName, "Mail");
  // An application without a name: the kernel name, its own bundle id.
  EXPECT_EQ(list[4]->localizedName, "nameless");
  EXPECT_EQ(list[4]->bundleID, "com.example.nameless");
  EXPECT_EQ(list[4]->parentProcessName, "ExamHost");
  EXPECT_EQ(list[2]->localizedName, "first");
}

TEST_F(DiscoveryTest, KernelNameIsDecodedAndTrimmed) {
  // (bytes as the kernel holds them, name)
  for (const auto& [comm, name] : std::vector<std::pair<std::string, std::string>>{
           {"abcdefghijklmnop", "abcdefghijklmnop"},
           {"abcdefghijklmno\xC3", ""},  // a character cut in two
           {"caf\xE9", ""},
           {"caf\xC3\xA9", "caf\xC3\xA9"},
           // Tab (Cc) and zero-width space / soft hyphen (Cf) at both ends.
           {"\t\xE2\x80\x8Bmid dle\xC2\xAD\x01", "mid dle"},
           {"a\tb", "a\tb"},
           // Plain ASCII: DEL and the C0 controls are trimmed at the ends only.
           {"\x7F"
            "vi m\x1F",
            "vi m"},
           {"a\x7F"
            "b",
            "a\x7F"
            "b"},
           {"\x01\x02", ""}}) {
    sysctl_.table = {Kinfo(42, 1, comm)};
    const ProcessList list = discovery_.getAllProcesses("");
    ASSERT_EQ(list.size(), 1U);
    EXPECT_EQ(list[0]->localizedName, name) << comm;
    EXPECT_EQ(list[0]->bundleID, name) << comm;
  }
}

TEST_F(DiscoveryTest, WindowOwnersAreWindowed) {
  sysctl_.table = {Kinfo(10, 1, "a"), Kinfo(11, 1, "b"), Kinfo(12, 1, "c"), Kinfo(13, 1, "d")};
  windows_.windows = std::vector<platform::CGWindowInfo>{{10.0}, {10.0}, {std::nullopt},
                                                         {12.5}, {13.0}, {4294967309.0}};
  std::vector<ProcessType> types;
  for (const auto& p : discovery_.getAllProcesses("")) {
    types.push_back(p->processType);
  }
  // 12.5 is not an id.
  EXPECT_EQ(types, (std::vector<ProcessType>{ProcessType::windowed, ProcessType::nonWindow,
                                             ProcessType::nonWindow, ProcessType::windowed}));
  EXPECT_EQ(discovery_.getWindowOwnerPids(""), (std::vector<int32_t>{10, 10, 13}));

  windows_.windows = std::nullopt;  // no window list at all
  EXPECT_EQ(discovery_.getAllProcesses("PERIODIC")[0]->processType, ProcessType::nonWindow);
  EXPECT_TRUE(host_.logs().empty());
}

TEST_F(DiscoveryTest, OnlyExactPeriodicSelectsOnScreenOptions) {
  for (const char* phase : {"PERIODIC", "periodic", "", "PERIODIC ", "START"}) {
    windows_.asked.clear();
    discovery_.getWindowOwnerPids(phase);
    ASSERT_EQ(windows_.asked.size(), 1U) << phase;
    EXPECT_EQ(windows_.asked[0].first, std::string(phase) == "PERIODIC" ? 14U : 0U) << phase;
    EXPECT_EQ(windows_.asked[0].second, platform::kCGNullWindowID);
  }
}

TEST_F(DiscoveryTest, TableThatGrewIsReadAgain) {
  sysctl_.table = {Kinfo(1, 0, "init")};
  sysctl_.started_after_size_query = {Kinfo(2, 1, "late"), Kinfo(3, 1, "later")};
  const ProcessList list = discovery_.getAllProcesses("");
  EXPECT_EQ(sysctl_.size_queries, 3);
  EXPECT_EQ(sysctl_.reads, 3);
  ASSERT_EQ(list.size(), 3U);
  EXPECT_EQ(list[2]->localizedName, "later");
  EXPECT_TRUE(host_.logs().empty());
}

TEST_F(DiscoveryTest, UnreadableTableLogsOnceAndGivesNothing) {
  sysctl_.table = {Kinfo(1, 0, "init")};
  for (bool fail_size : {true, false}) {
    testing::ScopedRecordingHost host;
    sysctl_.size_error = fail_size ? EPERM : 0;
    sysctl_.read_error = fail_size ? 0 : EIO;
    std::vector<platform::KinfoProc> table;
    size_t count = 99;
    EXPECT_EQ(discovery_.getKernelProcessTable(table, count), fail_size ? EPERM : EIO);
    EXPECT_EQ(count, 0U);
    EXPECT_TRUE(table.empty());
    EXPECT_TRUE(discovery_.getAllProcesses("").empty());
    EXPECT_EQ(host.logs(), (std::vector<LogLine>{{"Error getting process information", "ERROR"}}));
  }
  sysctl_.read_error = 0;
  sysctl_.table.clear();  // an empty table is no error
  EXPECT_TRUE(discovery_.getAllProcesses("").empty());
  EXPECT_TRUE(host_.logs().empty());
}

TEST_F(DiscoveryTest, ProcessPathReadsTheIdAsAtoiDoes) {
  libproc_.paths = {{42, "/bin/42"}, {0, "/kernel"}, {-7, "/negative"}, {5, "/caf\xE9"}};
  const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
      {" 42abc", "/bin/42"},
      {"+42", "/bin/42"},
      {"abc", "/kernel"},
      {"-7", "/negative"},
      {"5", "/caf\xEF\xBF\xBD"},  // bytes that are not UTF-8 are repaired
      {std::string("42\0"
                   "9",
                   4),
       "/bin/42"},
      {"43", std::nullopt}};
  for (const auto& [text, path] : cases) {
    EXPECT_EQ(discovery_.getProcessPath(text), path) << text;
  }
}

// A discovery whose steps are replaced, to check what getAllProcesses keeps.
class ScriptedDiscovery : public SCProcessDiscoverySwift {
 public:
  std::vector<DiscoveryEntry> entries;
  std::vector<DiscoveryEntry> getProcessEntries() override { return entries; }
  std::optional<std::string> getProcessPath(const std::string& id) override {
    return "/path/" + id;
  }
};

TEST_F(DiscoveryTest, EntriesWithoutAllKeysOrWithBadPidsAreSkipped) {
  ScriptedDiscovery scripted;
  const DiscoveryEntry good = {{"pid", "9"}, {"pname", "n"}, {"bundleID", "b"}, {"ppname", ""}};
  scripted.entries = {good};
  for (const char* key : {"pid", "pname", "bundleID", "ppname"}) {
    scripted.entries.push_back(good);
    scripted.entries.back().erase(key);
  }
  for (const char* pid : {"x", "9a", "2147483648"}) {
    scripted.entries.push_back(good);
    scripted.entries.back()["pid"] = pid;
  }
  const ProcessList list = scripted.getAllProcesses("");
  ASSERT_EQ(list.size(), 1U);
  EXPECT_EQ(list[0]->processPath, "/path/9");
  EXPECT_EQ(list[0]->bundleID, "b");

  // The helper forwards to the strategy it is given, and refuses none.
  ProcessDiscoveryStrategyHelperSwift helper;
  sysctl_.table = {Kinfo(3, 1, "three")};
  EXPECT_EQ(helper.getAllProcesses("").size(), 1U);
  auto shared = std::make_shared<ScriptedDiscovery>();
  helper.setStrategy(shared);
  EXPECT_EQ(helper.getProcessPath("4"), "/path/4");
  EXPECT_TRUE(helper.getAllProcesses("").empty());
  EXPECT_THROW(helper.setStrategy(nullptr), std::invalid_argument);
}

}  // namespace
}  // namespace osxnatives
