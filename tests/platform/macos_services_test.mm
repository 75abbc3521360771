// The macOS backends against the real system, on a Mac only. A test program of
// its own, because registering makes these services the process-wide defaults.
#if !__has_feature(objc_arc)
#error "This file is built with automatic reference counting (-fobjc-arc)."
#endif

#import <Foundation/Foundation.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdint>
#include <future>
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

PropertyListResult Read(const std::string& bytes) {
  return Get<NSPropertyListSerialization>().propertyListWithData(bytes);
}

TEST_F(MacServicesTest, PropertyListsMapAsOnLinuxAndWhatIsNoListIsRejected) {
  const std::pair<std::string, nlohmann::json> cases[] = {
      {"<integer>18446744073709551615</integer>", -1},
      {"<string>Gr\xC3\xBC\xC3\x9F\x65 \xF0\x9F\x98\x80</string>", "Grüße 😀"},
      {"<date>2000-12-31T23:58:20Z</date>", {{"$date", "-100"}}},  // before 2001
      {"<data>AAEC/w==</data>", {{"$data", "AAEC/w=="}}},
      {"<dict><key>a</key><array><real>2.5</real><true/><string/></array></dict>",
       {{"a", {2.5, true, ""}}}}};
  for (const auto& [body, expected] : cases) {
    const PropertyListResult result = Read("<?xml version=\"1.0\"?><plist>" + body + "</plist>");
    EXPECT_EQ(result.plist, expected) << body << ": " << result.error;
  }
  NSData* archive = [NSKeyedArchiver archivedDataWithRootObject:@"x"
                                          requiringSecureCoding:NO
                                                          error:nil];
  const PropertyListResult binary =
      Read(std::string(static_cast<const char*>(archive.bytes), archive.length));
  // A keyed archive reads, but its UIDs have no public accessor: null here,
  // where Linux's reader gives {"CF$UID": 1}.
  EXPECT_EQ(binary.plist.value_or(nullptr)["$top"]["root"], nullptr);
  for (const std::string& bytes : {std::string(), std::string("{ a = 1; }"),
                                   std::string("bplist00"), std::string("<plist><dict><key>")}) {
    const PropertyListResult result = Read(bytes);
    EXPECT_FALSE(result.plist || result.error.empty()) << bytes;
  }
}

TEST_F(MacServicesTest, CanonicalDecompositionAndControlOrFormat) {
  const std::pair<std::string, std::string> decompositions[] = {
      {"\xEA\xB0\x80", "\xE1\x84\x80\xE1\x85\xA1"},  // Hangul syllable GA
      {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"}       // outside the BMP
  };
  for (const auto& [text, decomposed] : decompositions)
    EXPECT_EQ(Get<CFStringText>().CanonicalDecomposition(text), decomposed) << text;
  const std::pair<char32_t, bool> members[] = {{0x0085, true},   {0x00AD, true},  {0xE0001, true},
                                               {' ', false},     {0x00A0, false}, {0xD800, false},
                                               {0x110000, false}};
  for (const auto& [code_point, member] : members) {
    EXPECT_EQ(Get<CFStringText>().IsControlOrFormat(code_point), member)
        << std::hex << static_cast<uint32_t>(code_point);
  }
}

TEST_F(MacServicesTest, TasksReportStatusSignalAndLaunchFailureAndPipeStandardOutputOnly) {
  const std::tuple<const char*, int, bool> cases[] = {
      {"exit 3", 3, false}, {"kill -9 $$", 9, true}, {"kill -15 $$", 15, true}};
  for (const auto& [script, status, by_signal] : cases) {
    const TaskOutcome outcome = Get<NSTask>().launchAndWait("/bin/sh", {"-c", script});
    EXPECT_TRUE(outcome.launched) << script << ": " << outcome.error;
    EXPECT_EQ(outcome.terminationStatus, status) << script;
    EXPECT_EQ(outcome.terminatedBySignal, by_signal) << script;
  }
  for (const char* path : {"/nonexistent/bash", "/etc/hosts", "/tmp"}) {
    EXPECT_FALSE(Get<NSTask>().launchAndWait(path, {}).launched) << path;
    EXPECT_EQ(Get<PipedTask>().LaunchAndReadToEndOfFile(path, {}), std::nullopt) << path;
  }
  auto& task = Get<PipedTask>();
  EXPECT_EQ(task.LaunchAndReadToEndOfFile("/bin/sh", {"-c", "echo \"$0\"; echo err >&2", "a  b"}),
            "a  b\n");
  auto large = task.LaunchAndReadToEndOfFile("/usr/bin/head", {"-c", "1000000", "/dev/zero"});
  EXPECT_EQ(large.value_or("").size(), 1000000U);  // more than a pipe holds
  errno = 0;
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

TEST_F(MacServicesTest, HomeRegistryProxySettingsAndUnknownMediaType) {
  const std::string home = Get<NSFileManager>().NSHomeDirectory();
  EXPECT_EQ(Get<NSFileManager>().applicationSupportDirectory().path,
            home + "/Library/Application Support");
  EXPECT_EQ(home.substr(0, 1), "/");
  EXPECT_EQ(Get<IORegistry>().MatchingServiceProperties("OSXNativesNoSuchClass"),
            std::vector<IORegistryProperties>{});
  // Every Mac has one registry entry of the root service class.
  auto services = Get<IORegistry>().MatchingServiceProperties("IOPlatformExpertDevice");
  ASSERT_EQ(services.value_or(std::vector<IORegistryProperties>{}).size(), 1U);
  EXPECT_TRUE(services->front() && services->front()->contains("IOPlatformUUID"));
  EXPECT_TRUE(Get<platform::CFNetwork>().CopySystemProxySettings().value_or(nullptr).is_object());

  EXPECT_EQ(Get<platform::AVCaptureDevice>().authorizationStatusForMediaType("text"),
            kAVAuthorizationStatusDenied);
  std::promise<std::string> answer;
  const std::thread::id caller = std::this_thread::get_id();
  Get<platform::AVCaptureDevice>().requestAccessForMediaType("text", [&](bool granted) {
    answer.set_value(std::string(granted ? "yes" : "no") +
                     (std::this_thread::get_id() == caller ? " on caller" : ""));
  });
  auto answered = answer.get_future();
  // An unknown media type is refused at once, before AVFoundation could raise.
  ASSERT_EQ(answered.wait_for(std::chrono::seconds(0)), std::future_status::ready);
  EXPECT_EQ(answered.get(), "no on caller");
}

}  // namespace
}  // namespace osxnatives::platform::macos
