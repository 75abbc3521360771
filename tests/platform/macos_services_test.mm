// The macOS backends against the real system, on a Mac only: property lists,
// text, tasks, folders, the registry walk and the authorisation calls that
// need no user answer. A test program of its own, because registering makes
// these services the process-wide defaults.
#import <Foundation/Foundation.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "platform/av_capture_device.h"
#include "platform/cf_network.h"
#include "platform/cf_string.h"
#include "platform/io_kit.h"
#include "platform/macos/services.h"
#include "platform/ns_file_manager.h"
#include "platform/ns_property_list_serialization.h"
#include "platform/ns_task.h"
#include "platform/ns_task_pipe.h"
#include "platform/registry.h"

namespace osxnatives::platform::macos {
namespace {

class MacServicesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    RegisterFiles();
    RegisterTasks();
    RegisterText();
    RegisterNetworkAndUsb();
    RegisterAuthorization();
  }
};

std::string Xml(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">" + body + "</plist>";
}

TEST_F(MacServicesTest, PropertyListTypesMapAsOnLinux) {
  struct Case {
    std::string body;
    nlohmann::json expected;
  };
  const Case cases[] = {
      {"<integer>18446744073709551615</integer>", -1},
      {"<integer>9223372036854775808</integer>", INT64_MIN},
      {"<integer>-9223372036854775808</integer>", INT64_MIN},
      {"<real>2.5</real>", 2.5},
      {"<true/>", true},
      {"<string>Gr\xC3\xBC\xC3\x9F\x65 \xF0\x9F\x98\x80</string>", "Grüße 😀"},
      {"<date>2001-01-01T00:01:40Z</date>", {{"$date", "100"}}},
      {"<date>2000-12-31T23:58:20Z</date>", {{"$date", "-100"}}},
      {"<data>AAEC/w==</data>", {{"$data", "AAEC/w=="}}},
      {"<dict><key>a</key><array><integer>1</integer><string/></array></dict>", {{"a", {1, ""}}}},
  };
  for (const Case& c : cases) {
    PropertyListResult result =
        Get<NSPropertyListSerialization>().propertyListWithData(Xml(c.body));
    ASSERT_TRUE(result.plist) << c.body << ": " << result.error;
    EXPECT_EQ(*result.plist, c.expected) << c.body;
  }
}

TEST_F(MacServicesTest, ReadsBinaryListsWithArchiverUids) {
  NSData* archive = [NSKeyedArchiver archivedDataWithRootObject:@"x"
                                          requiringSecureCoding:NO
                                                          error:nil];
  ASSERT_NE(archive, nil);
  PropertyListResult result = Get<NSPropertyListSerialization>().propertyListWithData(
      std::string(static_cast<const char*>(archive.bytes), archive.length));
  ASSERT_TRUE(result.plist) << result.error;
  EXPECT_EQ((*result.plist)["$top"]["root"], (nlohmann::json{{"CF$UID", 1}}));
  EXPECT_EQ((*result.plist)["$objects"][1], "x");
}

TEST_F(MacServicesTest, WritesXmlThatReadsBackAndRejectsWhatIsNoXmlOrBinaryList) {
  const nlohmann::json dict = {{"negative", -2147483649LL},
                               {"max", INT64_MAX},
                               {"real", 2.5},
                               {"flag", false},
                               {"text", "<&>"},
                               {"nested", {{"list", {1, "two"}}}}};
  const std::string xml = Get<NSPropertyListSerialization>().xmlDataWithPropertyList(dict);
  EXPECT_NE(xml.find("<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\""), std::string::npos);
  EXPECT_EQ(Get<NSPropertyListSerialization>().propertyListWithData(xml).plist, dict);

  for (const std::string& bytes : {std::string(), std::string("hello"), std::string("{ a = 1; }"),
                                   std::string("bplist00"), Xml("<dict><key>a</key>")}) {
    PropertyListResult result = Get<NSPropertyListSerialization>().propertyListWithData(bytes);
    EXPECT_FALSE(result.plist) << bytes;
    EXPECT_FALSE(result.error.empty()) << bytes;
  }
}

TEST_F(MacServicesTest, CanonicalDecompositionAndControlOrFormat) {
  const std::pair<std::string, std::string> decompositions[] = {
      {"\xC3\xA9", "e\xCC\x81"},                         // é
      {"\xEA\xB0\x80", "\xE1\x84\x80\xE1\x85\xA1"},      // Hangul syllable GA
      {"\xE1\xBA\xA5", "a\xCC\x82\xCC\x81"},             // ấ, two marks
      {std::string("a\0b", 3), std::string("a\0b", 3)},  // NUL kept
      {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},          // outside the BMP
      {"", ""},
  };
  for (const auto& [text, decomposed] : decompositions) {
    EXPECT_EQ(Get<CFStringText>().CanonicalDecomposition(text), decomposed) << text;
  }
  const std::pair<char32_t, bool> members[] = {
      {0x0000, true},  {0x001F, true},  {0x007F, true},    {0x0085, true},       {0x00AD, true},
      {0x200B, true},  {0xFEFF, true},  {0xE0001, true},   {'A', false},         {' ', false},
      {0x00A0, false}, {0xD800, false}, {0x110000, false}, {0xFFFF'FFFF, false},
  };
  for (const auto& [code_point, member] : members) {
    EXPECT_EQ(Get<CFStringText>().IsControlOrFormat(code_point), member)
        << std::hex << static_cast<uint32_t>(code_point);
  }
}

void ExpectNoChildLeft() {
  errno = 0;
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

TEST_F(MacServicesTest, TaskReportsExitStatusSignalAndLaunchFailure) {
  struct Case {
    std::vector<std::string> arguments;
    int status;
    bool by_signal;
  };
  const Case cases[] = {
      {{"-c", "exit 0"}, 0, false},
      {{"-c", "exit 3"}, 3, false},
      {{"-c", "kill -9 $$"}, 9, true},
      {{"-c", "kill -15 $$"}, 15, true},
  };
  for (const Case& c : cases) {
    TaskOutcome outcome = Get<NSTask>().launchAndWait("/bin/sh", c.arguments);
    EXPECT_TRUE(outcome.launched) << c.arguments[1] << ": " << outcome.error;
    EXPECT_EQ(outcome.terminationStatus, c.status) << c.arguments[1];
    EXPECT_EQ(outcome.terminatedBySignal, c.by_signal) << c.arguments[1];
  }
  for (const char* path : {"/nonexistent/bash", "/etc/hosts", "/tmp"}) {
    TaskOutcome outcome = Get<NSTask>().launchAndWait(path, {});
    EXPECT_FALSE(outcome.launched) << path;
    EXPECT_NE(outcome.error, "") << path;
  }
  ExpectNoChildLeft();
}

TEST_F(MacServicesTest, PipedTaskCapturesStandardOutputOnly) {
  auto& task = Get<PipedTask>();
  EXPECT_EQ(task.LaunchAndReadToEndOfFile("/bin/echo", {"a  b", "$HOME", ""}), "a  b $HOME \n");
  EXPECT_EQ(task.LaunchAndReadToEndOfFile("/bin/sh", {"-c", "echo out; echo err >&2; exit 3"}),
            "out\n");
  auto large = task.LaunchAndReadToEndOfFile("/usr/bin/head", {"-c", "1000000", "/dev/zero"});
  EXPECT_EQ(large.value_or("").size(), 1000000U);  // more than a pipe holds
  EXPECT_EQ(task.LaunchAndReadToEndOfFile("/nonexistent/pgrep", {"x"}), std::nullopt);
  EXPECT_EQ(task.LaunchAndReadToEndOfFile("/etc/hosts", {}), std::nullopt);
  ExpectNoChildLeft();
}

TEST_F(MacServicesTest, ApplicationSupportIsInTheHomeFolder) {
  const std::string home = Get<NSFileManager>().NSHomeDirectory();
  ASSERT_FALSE(home.empty());
  EXPECT_EQ(home.front(), '/');
  EXPECT_EQ(Get<NSFileManager>().applicationSupportDirectory().path,
            home + "/Library/Application Support");
}

TEST_F(MacServicesTest, RegistryAndProxySettingsAreReadable) {
  auto none = Get<IORegistry>().MatchingServiceProperties("OSXNativesNoSuchClass");
  ASSERT_TRUE(none);
  EXPECT_TRUE(none->empty());
  // Every Mac has at least one registry entry of the root service class.
  auto services = Get<IORegistry>().MatchingServiceProperties("IOPlatformExpertDevice");
  ASSERT_TRUE(services);
  ASSERT_EQ(services->size(), 1U);
  ASSERT_TRUE(services->front());
  EXPECT_TRUE(services->front()->contains("IOPlatformUUID"));

  auto settings = Get<platform::CFNetwork>().CopySystemProxySettings();
  ASSERT_TRUE(settings);
  EXPECT_TRUE(settings->is_object());
}

TEST_F(MacServicesTest, UnknownMediaTypeIsDeniedAndAnsweredNoOnAnotherThread) {
  EXPECT_EQ(Get<platform::AVCaptureDevice>().authorizationStatusForMediaType("text"),
            kAVAuthorizationStatusDenied);
  std::mutex mutex;
  std::condition_variable answered;
  std::optional<bool> answer;
  std::thread::id thread;
  Get<platform::AVCaptureDevice>().requestAccessForMediaType("text", [&](bool granted) {
    std::lock_guard<std::mutex> lock(mutex);
    answer = granted;
    thread = std::this_thread::get_id();
    answered.notify_all();
  });
  std::unique_lock<std::mutex> lock(mutex);
  answered.wait(lock, [&] { return answer.has_value(); });
  EXPECT_EQ(answer, false);
  EXPECT_NE(thread, std::this_thread::get_id());
}

}  // namespace
}  // namespace osxnatives::platform::macos
