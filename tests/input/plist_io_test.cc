#include "input/plist_io.h"

#include <gtest/gtest.h>
#include <plist/plist.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

#include "tests/input/lockdown_support.h"

namespace osxnatives {
namespace {

using testing::CapturedStdout;
using testing::Lockdown;

TEST(PlistIOTest, FolderLevelsAndRepeatedConstruction) {
  Lockdown lockdown;
  auto first = PlistIO::init("Settings.plist", std::string("Trevant"), std::string("ExamHost"));
  auto second = PlistIO::init("Settings.plist", std::string("Trevant"), std::string("ExamHost"));
  ASSERT_TRUE(first && second);
  EXPECT_EQ(*first->url(), lockdown.settingsFolder("ExamHost") / "Settings.plist");
  EXPECT_EQ(*second->url(), *first->url());
  EXPECT_TRUE(std::filesystem::is_directory(lockdown.settingsFolder("ExamHost")));
  EXPECT_FALSE(std::filesystem::exists(*first->url())) << "construction creates no file";

  auto without_name = PlistIO::init("Settings.plist", std::string("Trevant"), std::nullopt);
  ASSERT_TRUE(without_name);
  EXPECT_EQ(*without_name->url(), lockdown.settingsFolder("") / "Settings.plist");
}

TEST(PlistIOTest, ReadOfMissingFileLeavesAnEmptyXmlDictionary) {
  Lockdown lockdown;
  auto io = PlistIO::init("Settings.plist", std::string("Trevant"), std::nullopt);
  ASSERT_TRUE(io);
  CapturedStdout out;
  auto dict = io->read();
  EXPECT_TRUE(out.Lines().empty());
  ASSERT_TRUE(dict);
  EXPECT_EQ(*dict, nlohmann::json::object());
  EXPECT_NE(Lockdown::ReadRaw(*io->url()).value_or("").find("<plist version=\"1.0\">"),
            std::string::npos);
  EXPECT_EQ(Lockdown::ReadPlist(*io->url()), nlohmann::json::object());
}

TEST(PlistIOTest, WritesTheXmlFormatAndReadsItBack) {
  Lockdown lockdown;
  auto io = PlistIO::init("Settings.plist", std::string("Trevant"), std::string("Host"));
  ASSERT_TRUE(io);
  const nlohmann::json dict = {{"wvous-tl-corner", 2}, {"wvous-br-corner", -7}, {"HotKeys", "0,1"}};
  EXPECT_TRUE(io->write(dict));
  const std::string bytes = *Lockdown::ReadRaw(*io->url());
  EXPECT_EQ(bytes.rfind("<?xml", 0), 0U) << bytes;
  EXPECT_NE(bytes.find("\"-//Apple//DTD PLIST 1.0//EN\""), std::string::npos);
  EXPECT_NE(bytes.find("<integer>-7</integer>"), std::string::npos);
  EXPECT_NE(bytes.find("<string>0,1</string>"), std::string::npos);
  EXPECT_EQ(io->read(), dict);

  EXPECT_TRUE(io->write(std::nullopt));
  EXPECT_EQ(io->read(), nlohmann::json::object());
}

TEST(PlistIOTest, ReadsABinaryPropertyList) {
  Lockdown lockdown;
  auto io = PlistIO::init("Settings.plist", std::string("Trevant"), std::nullopt);
  ASSERT_TRUE(io);
  plist_t root = plist_new_dict();
  plist_dict_set_item(root, "wvous-tr-corner", plist_new_uint(4));
  plist_dict_set_item(root, "HotKeys", plist_new_string("64"));
  char* bin = nullptr;
  uint32_t length = 0;
  plist_to_bin(root, &bin, &length);
  Lockdown::WriteRaw(*io->url(), std::string(bin, length));
  std::free(bin);  // NOLINT(cppcoreguidelines-no-malloc)
  plist_free(root);
  EXPECT_EQ(io->read(), (nlohmann::json{{"wvous-tr-corner", 4}, {"HotKeys", "64"}}));
}

TEST(PlistIOTest, UnreadableFilePrintsTheReadErrorAndIsLeftAsItWas) {
  Lockdown lockdown;
  auto io = PlistIO::init("Settings.plist", std::string("Trevant"), std::string("My Host"));
  ASSERT_TRUE(io);
  const std::string url = "file://" + lockdown.home().string() +
                          "/Library/Application%20Support/Trevant/My%20Host/Settings.plist";
  for (const std::string& bytes :
       {Lockdown::Xml(nlohmann::json::array({1, 2})), std::string("wvous-tl-corner = 2\n"),
        Lockdown::Xml({{"a", 1}}).substr(0, 120), std::string()}) {
    SCOPED_TRACE(bytes);
    Lockdown::WriteRaw(*io->url(), bytes);
    CapturedStdout out;
    EXPECT_EQ(io->read(), std::nullopt);
    EXPECT_EQ(out.Lines(), std::vector<std::string>{"ERROR: unable to read .plist file: " + url});
    EXPECT_EQ(Lockdown::ReadRaw(*io->url()), bytes);
  }
}

TEST(PlistIOTest, FailureMessages) {
  Lockdown lockdown;
  {
    lockdown.files.failCreateDirectory = true;
    CapturedStdout out;
    EXPECT_EQ(PlistIO::init("Settings.plist", std::string("Trevant"), std::nullopt), nullptr);
    EXPECT_EQ(out.Lines(), std::vector<std::string>{"ERROR: cannot create folder"});
    lockdown.files.failCreateDirectory = false;
  }
  auto io = PlistIO::init("Settings.plist", std::string("Trevant"), std::nullopt);
  ASSERT_TRUE(io);
  ASSERT_TRUE(io->write(nlohmann::json{{"HotKeys", "1"}}));
  {
    lockdown.files.failWrite = true;
    CapturedStdout out;
    EXPECT_FALSE(io->write(nlohmann::json{{"HotKeys", "2"}}));
    EXPECT_EQ(out.Lines(), std::vector<std::string>{"ERROR: Unable to write .plist file: " +
                                                    PlistIO::FileURLText(*io->url())});
    lockdown.files.failWrite = false;
    EXPECT_EQ(io->read(), (nlohmann::json{{"HotKeys", "1"}})) << "the old file survives";
  }
  {
    io->setUrl(std::nullopt);
    CapturedStdout out;
    EXPECT_FALSE(io->write(std::nullopt));
    EXPECT_EQ(io->read(), std::nullopt);
    EXPECT_EQ(out.Lines(), (std::vector<std::string>{"ERROR: URL is nil",
                                                     "ERROR: unable to read .plist file: nil"}));
  }
}

TEST(PlistIOTest, FileURLTextEscapesLikeAFileURL) {
  EXPECT_EQ(PlistIO::FileURLText("/Users/a b/Application Support/Ü.plist"),
            "file:///Users/a%20b/Application%20Support/%C3%9C.plist");
  EXPECT_EQ(PlistIO::FileURLText("/x/a-b_c.d~e(1)"), "file:///x/a-b_c.d~e(1)");
}

// A writer killed at arbitrary moments never leaves a partial file: every
// read sees one complete version.
TEST(PlistIOTest, KilledWriterLeavesACompleteFile) {
  Lockdown lockdown;
  auto io = PlistIO::init("Settings.plist", std::string("Trevant"), std::nullopt);
  ASSERT_TRUE(io);
  const std::string padding(static_cast<size_t>(256) * 1024, 'x');
  auto version = [&](int n) {
    return nlohmann::json{{"version", n}, {"padding", padding}, {"HotKeys", std::to_string(n)}};
  };
  ASSERT_TRUE(io->write(version(0)));
  for (int round = 0; round < 5; ++round) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(ready[0]);
      for (int n = 1;; ++n) {
        io->write(version(n));
        if (n == 2 + round) {
          (void)!::write(ready[1], "w", 1);
        }
      }
    }
    close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    close(ready[0]);
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    const nlohmann::json found = Lockdown::ReadPlist(*io->url());
    ASSERT_TRUE(found.is_object()) << "round " << round;
    const int n = found["version"];
    EXPECT_EQ(found, version(n)) << "round " << round;
  }
}

}  // namespace
}  // namespace osxnatives
