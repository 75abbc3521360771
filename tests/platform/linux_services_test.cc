// The Linux and POSIX backends on real files and processes.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/linux/piped_task.h"
#include "platform/linux/proc_stat.h"
#include "platform/linux/services.h"
#include "platform/ns_file_manager.h"
#include "platform/ns_property_list_serialization.h"
#include "platform/posix/services.h"
#include "tests/support/temp_dir.h"

namespace osxnatives::platform {
namespace {

using os::PosixPipedTask;
using testing::TempDir;

NSFileManager& Files() { return PosixNSFileManager(); }
NSPropertyListSerialization& Plists() { return LinuxNSPropertyListSerialization(); }

TEST(LinuxFileManagerTest, HomeAndApplicationSupportComeFromHome) {
  const char* old = std::getenv("HOME");
  const std::string saved = old ? old : "";
  setenv("HOME", "/home/student", 1);
  EXPECT_EQ(Files().applicationSupportDirectory().path,
            "/home/student/Library/Application Support");
  setenv("HOME", "", 1);
  const std::string fallback = Files().NSHomeDirectory();
  (void)(old ? setenv("HOME", saved.c_str(), 1) : unsetenv("HOME"));
  EXPECT_TRUE(getpwuid(getuid()) == nullptr || !fallback.empty()) << "from the password database";
}

TEST(LinuxFileManagerTest, AtomicWriteReplacesTheWholeFileAndLeavesNothingElse) {
  TempDir dir;
  const std::string file = (dir.path() / "Settings.plist").string();
  const auto count = [](const std::filesystem::path& folder) {
    return std::distance(std::filesystem::directory_iterator(folder), {});
  };
  const auto descriptors = count("/proc/self/fd");
  EXPECT_EQ(Files().writeAtomically(file, std::string(100000, 'a')), std::nullopt);
  EXPECT_EQ(Files().writeAtomically(file, "short"), std::nullopt);
  EXPECT_EQ(Files().contentsAtPath(file), "short");
  EXPECT_EQ(count("/proc/self/fd"), descriptors) << "every descriptor opened is closed";
  struct stat info {};
  ASSERT_EQ(stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644U);
  EXPECT_EQ(count(dir.path()), 1);
}

TEST(LinuxFileManagerTest, FailuresAreDescribedAndChangeNothing) {
  TempDir dir;
  const auto absent = (dir.path() / "absent").string();
  const auto error = Files().writeAtomically((dir.path() / "no" / "Settings.plist").string(), "x");
  EXPECT_NE(error.value_or("").find((dir.path() / "no").string()), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "no"));
  EXPECT_NE(Files().removeItemAtPath(absent).value_or("").find("No such file"), std::string::npos);
  EXPECT_EQ(Files().contentsAtPath(dir.path().string()), std::nullopt) << "a folder is no file";
  EXPECT_FALSE(Files().fileExistsAtPath(absent) || Files().checkResourceIsReachable(absent));
  EXPECT_TRUE(Files().createDirectoryWithIntermediates((dir.Write("f", "") / "a").string()));
  EXPECT_EQ(Files().createDirectoryWithIntermediates(dir.path().string()), std::nullopt);
}

TEST(LinuxPropertyListTest, TypesRoundTripAndWhatIsNotAPropertyList) {
  const auto dict = nlohmann::json::parse(R"({"negative": -2147483649, "max": 9223372036854775807,
      "real": 2.5, "flag": true, "text": "Grüße <&>", "list": [1, "two", {"k": 0}]})");
  const std::string xml = Plists().xmlDataWithPropertyList(dict);
  EXPECT_NE(xml.find("<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\""), std::string::npos);
  const PropertyListResult back = Plists().propertyListWithData(xml);
  EXPECT_EQ(back.plist, dict) << back.error;
  EXPECT_EQ(Plists().propertyListWithData("<plist><data>AAECAwQ=</data></plist>").plist,
            (nlohmann::json{{"$data", "AAECAwQ="}}));

  for (const std::string& bytes :
       {std::string(), std::string("{\"a\": 1}"), std::string("bplist00"),
        std::string("<plist><dict><key>a</key></plist>")}) {
    const PropertyListResult result = Plists().propertyListWithData(bytes);
    EXPECT_FALSE(result.plist || result.error.empty()) << bytes;
  }
}

void ExpectNoChildLeft() {
  errno = 0;
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

TEST(PosixPipedTaskTest, PassesArgumentsWithoutAShellAndCapturesStandardOutputOnly) {
  PosixPipedTask task;
  EXPECT_EQ(task.LaunchAndReadToEndOfFile("/bin/echo", {"a  b", "$HOME", "*", ""}),
            "a  b $HOME * \n");
  EXPECT_EQ(task.LaunchAndReadToEndOfFile("/bin/sh", {"-c", "echo out; echo err >&2; exit 3"}),
            "out\n");
  auto large = task.LaunchAndReadToEndOfFile("/usr/bin/head", {"-c", "1000000", "/dev/zero"});
  EXPECT_EQ(large.value_or("").size(), 1000000U);  // more than a pipe holds
  for (const char* unstartable : {"/nonexistent/pgrep", "/etc/hostname", "/tmp"})
    EXPECT_EQ(task.LaunchAndReadToEndOfFile(unstartable, {}), std::nullopt) << unstartable;
  ExpectNoChildLeft();
}

TEST(PosixPipedTaskTest, ChildStartsWithNoSignalBlocked) {
  sigset_t blocked, previous;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGTERM);
  ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &blocked, &previous), 0);
  auto output =
      PosixPipedTask().LaunchAndReadToEndOfFile("/bin/grep", {"SigBlk", "/proc/self/status"});
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  EXPECT_EQ(output, "SigBlk:\t0000000000000000\n");
}

TEST(PosixPipedTaskTest, ConcurrentCallsKeepTheirOwnOutput) {
  // A pipe inherited by a sibling child would keep another call waiting, or mix outputs.
  std::vector<std::thread> threads;
  std::vector<std::optional<std::string>> outputs(8);
  for (size_t i = 0; i < outputs.size(); ++i) {
    threads.emplace_back([&outputs, i] {
      outputs[i] = PosixPipedTask().LaunchAndReadToEndOfFile("/bin/echo", {std::to_string(i)});
    });
  }
  for (auto& thread : threads) thread.join();
  for (size_t i = 0; i < outputs.size(); ++i) EXPECT_EQ(outputs[i], std::to_string(i) + "\n");
  ExpectNoChildLeft();
}

TEST(ProcStatTest, NameRunsToTheLastParenthesisAndABadParentIdIsRefused) {
  KinfoProc record;
  ASSERT_TRUE(ParseProcStatLine("12 (a) (b) S 34 1", 12, record));
  EXPECT_EQ(record.e_ppid, 34);
  EXPECT_STREQ(record.p_comm.data(), "a) (b");
  for (const char* bad : {"12 (a S 3", "12 (a) S", "12 (a) S x", "12 (a) S 2147483648"}) {
    EXPECT_FALSE(ParseProcStatLine(bad, 13, record)) << bad;
    EXPECT_EQ(record.p_pid, 12) << bad;
  }
}

// The poll between permission checks sleeps a positive interval in full and
// returns at once for anything else, infinity included.
TEST(PosixThreadTest, SleepsOnlyPositiveFiniteIntervals) {
  const auto start = std::chrono::steady_clock::now();
  for (const double bad : {0.0, -1.0, std::nan(""), HUGE_VAL}) {
    PosixNSThread().sleepForTimeInterval(bad);
  }
  PosixNSThread().sleepForTimeInterval(0.02);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(20));
}

}  // namespace
}  // namespace osxnatives::platform
