#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <map>

#include "platform/libproc.h"
#include "platform/sim/window_list.h"
#include "platform/sim/workspace.h"
#include "platform/sysctl.h"
#include "process/sc_process_discovery_swift.h"
#include "tests/support/recording_host.h"
#include "tests/support/sim_desktop.h"

namespace osxnatives {
namespace {

using platform::ScopedOverride;

// A kernel table record; `comm` is copied byte for byte, as far as it fits.
platform::KinfoProc Kinfo(int32_t pid, int32_t ppid, std::string_view comm) {
  platform::KinfoProc record;
  record.p_pid = pid;
  record.e_ppid = ppid;
  std::memcpy(record.p_comm.data(), comm.data(),
              std::min(comm.size(), platform::kCommandNameSize - 1));
  return record;
}

// A kernel table that can fail, or grow between the size query and the read.
struct FakeSysctl : platform::Sysctl {
  std::vector<platform::KinfoProc> table, started_after_size_query;
  int size_error = 0, read_error = 0;
  int KernProcAll(platform::KinfoProc* out, size_t* count) override {
    if (out == nullptr) {
      if (size_error != 0) return size_error;
      *count = table.size();
      if (!started_after_size_query.empty()) {
        table.push_back(started_after_size_query.front());
        started_after_size_query.erase(started_after_size_query.begin());
      }
      return 0;
    }
    if (read_error != 0) return read_error;
    if (table.size() > *count) return ENOMEM;
    std::copy(table.begin(), table.end(), out);
    *count = table.size();
    return 0;
  }
};

struct FakeLibProc : platform::LibProc {
  std::map<int32_t, std::string> paths;  // raw bytes, any content
  int proc_pidpath(int32_t pid, char* buffer, uint32_t size) override {
    auto it = paths.find(pid);
    if (it == paths.end() || it->second.size() >= size) return 0;
    std::memcpy(buffer, it->second.data(), it->second.size() + 1);
    return static_cast<int>(it->second.size());
  }
};

// Discovery against a fake kernel table and paths, and a simulated workspace
// with three applications and the host (pid 100), and windows.
class DiscoveryTest : public ::testing::Test {
 protected:
  testing::ScopedRecordingHost host_;
  testing::TestDesktop desktop_{R"({
      "currentApplication": {"localizedName": "ExamHost"},
      "runningApplications": [
        {"pid": 501, "localizedName": "Mail", "bundleIdentifier": "com.apple.mail"},
        {"pid": 502, "localizedName": "Notes"},
        {"pid": 503, "bundleIdentifier": "com.example.nameless"}],
      "windows": [{"ownerPid": 10}, {"ownerPid": 10}, {"ownerPid": null}, {"ownerPid": 12.5},
                  {"ownerPid": 13, "onScreen": false}, {"ownerPid": 4294967309}]})"};
  platform::sim::SimWorkspace workspace_{desktop_.desktop(), 100};
  platform::sim::SimWindowList windows_{desktop_.desktop(), 100};
  FakeSysctl sysctl_;
  FakeLibProc libproc_;
  ScopedOverride<platform::NSWorkspace> use_workspace_{&workspace_};
  ScopedOverride<platform::CGWindowList> use_windows_{&windows_};
  ScopedOverride<platform::Sysctl> use_sysctl_{&sysctl_};
  ScopedOverride<platform::LibProc> use_libproc_{&libproc_};
  SCProcessDiscoverySwift discovery_;
};

TEST_F(DiscoveryTest, RecordsTakeApplicationNamesOrKernelNames) {
  // 501's kernel name cannot be decoded, and 7 repeats: the first record wins.
  // Kernel names are decoded, and only control (Cc) and format (Cf)
  // characters at either end are trimmed.
  sysctl_.table = {Kinfo(1, 0, "launchd"),
                   Kinfo(501, 1, "M\xFF"),
                   Kinfo(7, 501, "first"),
                   Kinfo(502, 501, "notesd"),
                   Kinfo(503, 100, "nameless"),
                   Kinfo(7, 1, "second"),
                   Kinfo(20, 1, "abcdefghijklmnop"),
                   Kinfo(21, 1, "abcdefghijklmno\xC3"),  // a character cut in two
                   Kinfo(22, 1, "\t\xE2\x80\x8Bmid\tdle\xC2\xAD\x01"),
                   Kinfo(23, 1,
                         "\x7F"
                         "vi\x7Fm\x1F"),
                   Kinfo(24, 1, "\x01\x02")};
  sysctl_.started_after_size_query = {Kinfo(8, 1, "late")};  // the table grew: read again
  libproc_.paths = {{501, "/Applications/Mail.app/Contents/MacOS/Mail\xE9"}};
  const std::string path = "/Applications/Mail.app/Contents/MacOS/Mail\xEF\xBF\xBD";  // repaired
  // pid, name, bundle id, parent name of each record in table order.
  const std::vector<std::array<std::string, 4>> expected = {
      {"1", "launchd", "launchd", ""},
      {"501", "Mail", "com.apple.mail", ""},  // launchd is no application
      {"7", "first", "first", "Mail"},
      {"502", "Notes", "Notes", "Mail"},  // no bundle identifier: the name stands in
      {"503", "nameless", "com.example.nameless", "ExamHost"},
      {"20", "abcdefghijklmnop", "abcdefghijklmnop", ""},
      {"21", "", "", ""},
      {"22", "mid\tdle", "mid\tdle", ""},
      {"23", "vi\x7Fm", "vi\x7Fm", ""},
      {"24", "", "", ""},
      {"8", "late", "late", ""}};
  const ProcessList list = discovery_.getAllProcesses("");
  ASSERT_EQ(list.size(), expected.size());
  for (size_t i = 0; i < list.size(); ++i) {
    EXPECT_EQ((std::array<std::string, 4>{*list[i]->pid, *list[i]->localizedName,
                                          *list[i]->bundleID, *list[i]->parentProcessName}),
              expected[i]);
    EXPECT_EQ(list[i]->processID, std::stoi(expected[i][0]));
    EXPECT_EQ(list[i]->processType, ProcessType::nonWindow);
    EXPECT_EQ(list[i]->processPath, i == 1 ? path : std::optional<std::string>());
  }
  EXPECT_TRUE(host_.logs().empty());
  // The id text is read as atoi reads it, cut to 32 bits.
  for (const char* id : {" +501abc", "4294967797"}) EXPECT_EQ(discovery_.getProcessPath(id), path);
  EXPECT_EQ(discovery_.getProcessPath("502"), std::nullopt);
}

TEST_F(DiscoveryTest, WindowOwnersAreWindowed) {
  // 12.5 is not an id, nor is 2^32 + 13; the periodic phase, and only the
  // exact text, asks for the windows on screen.
  sysctl_.table = {Kinfo(10, 1, "a"), Kinfo(11, 1, "b"), Kinfo(12, 1, "c"), Kinfo(13, 1, "d")};
  for (const char* phase : {"", "PERIODIC", "periodic", "PERIODIC "}) {
    SCOPED_TRACE(phase);
    const bool on_screen = std::string(phase) == "PERIODIC";
    std::vector<ProcessType> types;
    for (const auto& p : discovery_.getAllProcesses(phase)) types.push_back(p->processType);
    EXPECT_EQ(types, (std::vector<ProcessType>{
                         ProcessType::windowed, ProcessType::nonWindow, ProcessType::nonWindow,
                         on_screen ? ProcessType::nonWindow : ProcessType::windowed}));
    EXPECT_EQ(discovery_.getWindowOwnerPids(phase),
              (on_screen ? std::vector<int32_t>{10, 10} : std::vector<int32_t>{10, 10, 13}));
  }
  // No window list at all.
  struct NoWindows : platform::CGWindowList {
    std::optional<std::vector<platform::CGWindowInfo>> CGWindowListCopyWindowInfo(
        uint32_t, uint32_t) override {
      return std::nullopt;
    }
  } none;
  ScopedOverride<platform::CGWindowList> use_none(&none);
  EXPECT_EQ(discovery_.getAllProcesses("")[0]->processType, ProcessType::nonWindow);
  EXPECT_TRUE(host_.logs().empty());
}

TEST_F(DiscoveryTest, UnreadableTableLogsOnceAndGivesNothing) {
  sysctl_.table = {Kinfo(1, 0, "init")};
  for (const auto& [size_error, read_error] : {std::pair(EPERM, 0), std::pair(0, EIO)}) {
    testing::ScopedRecordingHost host;
    sysctl_.size_error = size_error;
    sysctl_.read_error = read_error;
    EXPECT_TRUE(discovery_.getAllProcesses("").empty());
    EXPECT_EQ(host.logs(),
              (std::vector<testing::LogLine>{{"Error getting process information", "ERROR"}}));
  }
  sysctl_.read_error = 0;
  sysctl_.table.clear();  // an empty table is no error
  EXPECT_TRUE(discovery_.getAllProcesses("").empty());
  EXPECT_TRUE(host_.logs().empty());
}

}  // namespace
}  // namespace osxnatives
