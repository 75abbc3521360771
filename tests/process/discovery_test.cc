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

constexpr int32_t kHostPid = 100;

// Discovery against a fake kernel table, fake paths and windows, and a
// simulated workspace with two applications and the host.
class DiscoveryTest : public ::testing::Test {
 protected:
  DiscoveryTest()
      : desktop_(R"({
          "currentApplication": {"localizedName": "ExamHost"},
          "runningApplications": [
            {"pid": 501, "localizedName": "Mail", "bundleIdentifier": "com.apple.mail"},
            {"pid": 502, "localizedName": "Notes"},
            {"pid": 503, "bundleIdentifier": "com.example.nameless"}
          ]})"),
        workspace_(desktop_.desktop(), kHostPid) {}

  std::shared_ptr<ProcessSwift> Find(const ProcessList& list, int32_t pid) {
    for (const auto& p : list) {
      if (p->processID == pid) {
        return p;
      }
    }
    return nullptr;
  }

  testing::ScopedRecordingHost host_;
  testing::TestDesktop desktop_;
  platform::sim::SimWorkspace workspace_;
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
  sysctl_.table = {Kinfo(1, 0, "launchd"), Kinfo(501, 1, "Mail"), Kinfo(502, 501, "notesd"),
                   Kinfo(503, kHostPid, "nameless"), Kinfo(600, 501, "helper")};
  libproc_.paths = {{501, "/Applications/Mail.app/Contents/MacOS/Mail"}};

  const ProcessList list = discovery_.getAllProcesses("");
  ASSERT_EQ(list.size(), 5U);
  std::vector<int32_t> order;
  for (const auto& p : list) {
    order.push_back(p->processID);
  }
  EXPECT_EQ(order, (std::vector<int32_t>{1, 501, 502, 503, 600}));

  const auto& launchd = *list[0];
  EXPECT_EQ(launchd.localizedName, "launchd");
  EXPECT_EQ(launchd.bundleID, "launchd");
  EXPECT_EQ(launchd.pid, "1");
  EXPECT_EQ(launchd.parentProcessName, "");
  EXPECT_EQ(launchd.processPath, std::nullopt);
  EXPECT_EQ(launchd.state, ProcessState::active);
  EXPECT_EQ(launchd.processType, ProcessType::nonWindow);

  EXPECT_EQ(list[1]->localizedName, "Mail");
  EXPECT_EQ(list[1]->bundleID, "com.apple.mail");
  EXPECT_EQ(list[1]->processPath, "/Applications/Mail.app/Contents/MacOS/Mail");
  // An application without a bundle identifier: its name stands in.
  EXPECT_EQ(list[2]->localizedName, "Notes");
  EXPECT_EQ(list[2]->bundleID, "Notes");
  EXPECT_EQ(list[2]->parentProcessName, "Mail");
  // An application without a name: the kernel name, its own bundle id.
  EXPECT_EQ(list[3]->localizedName, "nameless");
  EXPECT_EQ(list[3]->bundleID, "com.example.nameless");
  EXPECT_EQ(list[3]->parentProcessName, "ExamHost");
  EXPECT_EQ(list[4]->parentProcessName, "Mail");
  EXPECT_EQ(libproc_.asked, (std::vector<int32_t>{1, 501, 502, 503, 600}));
}

TEST_F(DiscoveryTest, RepeatedPidKeepsTheFirstRecord) {
  sysctl_.table = {Kinfo(7, 1, "first"), Kinfo(8, 1, "other"), Kinfo(7, 1, "second")};
  const ProcessList list = discovery_.getAllProcesses("");
  ASSERT_EQ(list.size(), 2U);
  EXPECT_EQ(list[0]->localizedName, "first");
  EXPECT_EQ(list[1]->localizedName, "other");
}

struct CommandNameCase {
  const char* label;
  std::string comm;  // bytes as the kernel holds them
  std::string name;
};

class CommandNameTest : public DiscoveryTest,
                        public ::testing::WithParamInterface<CommandNameCase> {};

TEST_P(CommandNameTest, KernelNameIsDecodedAndTrimmed) {
  sysctl_.table = {Kinfo(42, 1, GetParam().comm)};
  const ProcessList list = discovery_.getAllProcesses("");
  ASSERT_EQ(list.size(), 1U);
  EXPECT_EQ(list[0]->localizedName, GetParam().name);
  EXPECT_EQ(list[0]->bundleID, GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(
    Names, CommandNameTest,
    ::testing::Values(CommandNameCase{"Plain", "sleep", "sleep"},
                      CommandNameCase{"BlanksAndParentheses", "a (b) c)", "a (b) c)"},
                      CommandNameCase{"SixteenBytes", "abcdefghijklmnop", "abcdefghijklmnop"},
                      // A two-byte character cut after its first byte.
                      CommandNameCase{"CutMultibyte", "abcdefghijklmno\xC3", ""},
                      CommandNameCase{"Latin1Byte", "caf\xE9", ""},
                      CommandNameCase{"ValidMultibyte", "caf\xC3\xA9", "caf\xC3\xA9"},
                      // Tab (Cc) and zero-width space / soft hyphen (Cf) at both ends.
                      CommandNameCase{"ControlAndFormatTrimmed",
                                      "\t\xE2\x80\x8Bmid dle\xC2\xAD\x01", "mid dle"},
                      CommandNameCase{"InnerControlKept", "a\tb", "a\tb"},
                      CommandNameCase{"OnlyControls", "\x01\x02", ""},
                      CommandNameCase{"Empty", "", ""}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(DiscoveryTest, ApplicationNameWinsOverUndecodableKernelName) {
  sysctl_.table = {Kinfo(501, 1, "M\xFF")};
  const ProcessList list = discovery_.getAllProcesses("");
  ASSERT_EQ(list.size(), 1U);
  EXPECT_EQ(list[0]->localizedName, "Mail");
}

TEST_F(DiscoveryTest, WindowOwnersAreWindowed) {
  sysctl_.table = {Kinfo(10, 1, "a"), Kinfo(11, 1, "b"), Kinfo(12, 1, "c"), Kinfo(13, 1, "d")};
  windows_.windows = std::vector<platform::CGWindowInfo>{{10.0}, {10.0}, {std::nullopt},
                                                         {12.5}, {13.0}, {4294967309.0}};
  const ProcessList list = discovery_.getAllProcesses("");
  ASSERT_EQ(list.size(), 4U);
  EXPECT_EQ(list[0]->processType, ProcessType::windowed);   // two windows
  EXPECT_EQ(list[1]->processType, ProcessType::nonWindow);  // none
  EXPECT_EQ(list[2]->processType, ProcessType::nonWindow);  // 12.5 is not an id
  EXPECT_EQ(list[3]->processType, ProcessType::windowed);
  EXPECT_EQ(discovery_.getWindowOwnerPids(""), (std::vector<int32_t>{10, 10, 13}));
}

TEST_F(DiscoveryTest, MissingWindowListMakesEveryRecordNonWindow) {
  sysctl_.table = {Kinfo(10, 1, "a")};
  windows_.windows = std::nullopt;
  const ProcessList list = discovery_.getAllProcesses("PERIODIC");
  ASSERT_EQ(list.size(), 1U);
  EXPECT_EQ(list[0]->processType, ProcessType::nonWindow);
  EXPECT_TRUE(host_.logs().empty());
}

TEST_F(DiscoveryTest, OnlyExactPeriodicSelectsOnScreenOptions) {
  for (const char* phase : {"PERIODIC", "periodic", "", "Periodic", "PERIODIC ", "START"}) {
    windows_.asked.clear();
    discovery_.getWindowOwnerPids(phase);
    ASSERT_EQ(windows_.asked.size(), 1U) << phase;
    EXPECT_EQ(windows_.asked[0].first, std::string(phase) == "PERIODIC" ? 14U : 0U) << phase;
    EXPECT_EQ(windows_.asked[0].second, platform::kCGNullWindowID);
  }
  EXPECT_EQ(SCProcessDiscoverySwift::kPeriodicWindowListOptions,
            platform::kCGWindowListOptionOnScreenAboveWindow |
                platform::kCGWindowListOptionOnScreenBelowWindow |
                platform::kCGWindowListOptionIncludingWindow);
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
  for (bool fail_size : {true, false}) {
    testing::ScopedRecordingHost host;
    sysctl_.size_error = fail_size ? EPERM : 0;
    sysctl_.read_error = fail_size ? 0 : EIO;
    sysctl_.table = {Kinfo(1, 0, "init")};
    std::vector<platform::KinfoProc> table;
    size_t count = 99;
    EXPECT_EQ(discovery_.getKernelProcessTable(table, count), fail_size ? EPERM : EIO);
    EXPECT_EQ(count, 0U);
    EXPECT_TRUE(table.empty());

    EXPECT_TRUE(discovery_.getAllProcesses("").empty());
    EXPECT_EQ(host.logs(), (std::vector<LogLine>{{"Error getting process information", "ERROR"}}));
  }
}

TEST_F(DiscoveryTest, EmptyTableIsNotAnError) {
  EXPECT_TRUE(discovery_.getAllProcesses("").empty());
  EXPECT_TRUE(host_.logs().empty());
}

TEST_F(DiscoveryTest, ProcessPathReadsTheIdAsAtoiDoes) {
  libproc_.paths = {{42, "/bin/forty-two"}, {0, "/kernel"}, {-7, "/negative"}};
  struct Case {
    std::string text;
    std::optional<std::string> path;
  };
  for (const Case& c : std::vector<Case>{{"42", "/bin/forty-two"},
                                         {" 42abc", "/bin/forty-two"},
                                         {"+42", "/bin/forty-two"},
                                         {"abc", "/kernel"},
                                         {"", "/kernel"},
                                         {"-7", "/negative"},
                                         {std::string("42\0"
                                                      "9",
                                                      4),
                                          "/bin/forty-two"},
                                         {"43", std::nullopt}}) {
    EXPECT_EQ(discovery_.getProcessPath(c.text), c.path) << c.text;
  }
}

TEST_F(DiscoveryTest, ProcessPathRepairsBytesThatAreNotUtf8) {
  libproc_.paths = {{5, "/opt/caf\xE9/bin"}};
  EXPECT_EQ(discovery_.getProcessPath("5"), "/opt/caf\xEF\xBF\xBD/bin");
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
    DiscoveryEntry missing = good;
    missing.erase(key);
    scripted.entries.push_back(missing);
  }
  for (const char* pid : {"", "x", "9a", "2147483648"}) {
    DiscoveryEntry bad = good;
    bad["pid"] = pid;
    scripted.entries.push_back(bad);
  }
  const ProcessList list = scripted.getAllProcesses("");
  ASSERT_EQ(list.size(), 1U);
  EXPECT_EQ(list[0]->processPath, "/path/9");
  EXPECT_EQ(list[0]->bundleID, "b");
}

TEST_F(DiscoveryTest, HelperForwardsToTheStrategyInUse) {
  sysctl_.table = {Kinfo(3, 1, "three"), Kinfo(4, 1, "four")};
  libproc_.paths = {{3, "/three"}};
  ProcessDiscoveryStrategyHelperSwift helper;
  const ProcessList direct = discovery_.getAllProcesses("");
  const ProcessList through = helper.getAllProcesses("");
  ASSERT_EQ(through.size(), direct.size());
  for (size_t i = 0; i < direct.size(); ++i) {
    EXPECT_EQ(through[i]->pid, direct[i]->pid);
  }
  EXPECT_EQ(helper.getProcessPath("3"), "/three");
  EXPECT_EQ(helper.getProcessPath("4"), std::nullopt);

  auto scripted = std::make_shared<ScriptedDiscovery>();
  helper.setStrategy(scripted);
  EXPECT_EQ(helper.strategy(), scripted);
  EXPECT_EQ(helper.getProcessPath("4"), "/path/4");
  EXPECT_TRUE(helper.getAllProcesses("").empty());
  EXPECT_THROW(helper.setStrategy(nullptr), std::invalid_argument);
}

}  // namespace
}  // namespace osxnatives
