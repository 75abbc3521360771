// The Linux backends of NSFileManager and NSPropertyListSerialization on real
// files.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/linux/services.h"
#include "platform/ns_file_manager.h"
#include "platform/ns_property_list_serialization.h"
#include "platform/posix/services.h"
#include "tests/support/temp_dir.h"

namespace osxnatives::platform {
namespace {

using testing::TempDir;

NSFileManager& Files() { return PosixNSFileManager(); }
NSPropertyListSerialization& Plists() { return LinuxNSPropertyListSerialization(); }

// Sets HOME for the lifetime of the object.
class ScopedHome {
 public:
  explicit ScopedHome(const char* value) {
    if (const char* old = std::getenv("HOME")) {
      old_ = old;
    }
    setenv("HOME", value, 1);
  }
  ~ScopedHome() { old_ ? (void)setenv("HOME", old_->c_str(), 1) : (void)unsetenv("HOME"); }
  ScopedHome(const ScopedHome&) = delete;
  ScopedHome& operator=(const ScopedHome&) = delete;

 private:
  std::optional<std::string> old_;
};

TEST(LinuxFileManagerTest, HomeAndApplicationSupportComeFromHome) {
  ScopedHome home("/home/student");
  EXPECT_EQ(Files().NSHomeDirectory(), "/home/student");
  EXPECT_EQ(Files().applicationSupportDirectory().path,
            "/home/student/Library/Application Support");
  ScopedHome empty("");
  if (getpwuid(getuid()) == nullptr) {
    GTEST_SKIP() << "this user has no password entry";
  }
  EXPECT_NE(Files().NSHomeDirectory(), "") << "an empty HOME falls back to the password database";
}

TEST(LinuxFileManagerTest, AtomicWriteReplacesTheWholeFileAndLeavesNothingElse) {
  TempDir dir;
  const std::string file = (dir.path() / "Settings.plist").string();
  EXPECT_EQ(Files().writeAtomically(file, std::string(100000, 'a')), std::nullopt);
  EXPECT_EQ(Files().writeAtomically(file, "short"), std::nullopt);
  EXPECT_EQ(Files().contentsAtPath(file), "short");
  struct stat info {};
  ASSERT_EQ(stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644U);
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    ++entries;
  }
  EXPECT_EQ(entries, 1);
}

TEST(LinuxFileManagerTest, FailuresAreDescribedAndChangeNothing) {
  TempDir dir;
  const std::string missing_folder = (dir.path() / "no" / "Settings.plist").string();
  auto error = Files().writeAtomically(missing_folder, "x");
  ASSERT_TRUE(error);
  EXPECT_NE(error->find((dir.path() / "no").string()), std::string::npos) << *error;
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "no"));

  error = Files().removeItemAtPath((dir.path() / "absent").string());
  ASSERT_TRUE(error);
  EXPECT_NE(error->find("No such file"), std::string::npos) << *error;

  EXPECT_EQ(Files().contentsAtPath(dir.path().string()), std::nullopt) << "a folder is no file";
  EXPECT_EQ(Files().contentsAtPath((dir.path() / "absent").string()), std::nullopt);
  EXPECT_FALSE(Files().fileExistsAtPath((dir.path() / "absent").string()));
  EXPECT_FALSE(Files().checkResourceIsReachable((dir.path() / "absent").string()));

  const auto in_the_way = dir.Write("Trevant", "a file");
  error = Files().createDirectoryWithIntermediates((in_the_way / "Host").string());
  EXPECT_TRUE(error);
  EXPECT_EQ(Files().createDirectoryWithIntermediates((dir.path() / "a" / "b").string()),
            std::nullopt);
  EXPECT_EQ(Files().createDirectoryWithIntermediates((dir.path() / "a" / "b").string()),
            std::nullopt)
      << "an existing folder is success";
}

TEST(LinuxPropertyListTest, SignedIntegersRealsAndTextRoundTrip) {
  const nlohmann::json dict = {{"negative", -2147483649LL},
                               {"max", 9223372036854775807LL},
                               {"real", 2.5},
                               {"flag", true},
                               {"text", "Grüße <&>"},
                               {"list", {1, "two"}},
                               {"nested", {{"k", 0}}}};
  const std::string xml = Plists().xmlDataWithPropertyList(dict);
  EXPECT_NE(xml.find("<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\""), std::string::npos);
  PropertyListResult back = Plists().propertyListWithData(xml);
  ASSERT_TRUE(back.plist) << back.error;
  EXPECT_EQ(*back.plist, dict);
}

TEST(LinuxPropertyListTest, WhatIsNotAPropertyList) {
  for (const std::string& bytes :
       {std::string(), std::string("{\"a\": 1}"), std::string("bplist00"),
        std::string("<plist><dict><key>a</key></plist>")}) {
    PropertyListResult result = Plists().propertyListWithData(bytes);
    EXPECT_FALSE(result.plist) << bytes;
    EXPECT_FALSE(result.error.empty());
  }
}

}  // namespace
}  // namespace osxnatives::platform
