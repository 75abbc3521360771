#include <gtest/gtest.h>
#include <plist/plist.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/ns_thread.h"
#include "platform/sim/authorization.h"
#include "platform/sim/bundle.h"
#include "tests/support/recording_host.h"
#include "tests/support/sim_desktop.h"
#include "utility/utility_swift.h"

namespace osxnatives {
namespace {

using platform::ScopedOverride;
using testing::LogLine;
using testing::ScopedRecordingHost;
using testing::TempDir;
using testing::TestDesktop;

constexpr char kInfoPlist[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
  <key>CFBundleName</key><string>Kestrelgate</string>
  <key>KGSettingsFolder</key><string>Kestrelgate Exams ü</string>
  <key>Empty</key><string></string>
  <key>BuildNumber</key><integer>1234</integer>
  <key>Ratio</key><real>1.5</real>
  <key>LSUIElement</key><true/>
  <key>Languages</key><array><string>en</string></array>
  <key>Nested</key><dict><key>CFBundleName</key><string>inner</string></dict>
  <key>Icon</key><data>AAEC</data>
</dict>
</plist>
)";

std::string ToBinary(const std::string& xml) {
  plist_t root = nullptr;
  plist_from_xml(xml.data(), static_cast<uint32_t>(xml.size()), &root);
  if (root == nullptr) {
    return "";
  }
  char* bytes = nullptr;
  uint32_t length = 0;
  plist_to_bin(root, &bytes, &length);
  std::string binary(bytes, length);
  std::free(bytes);  // NOLINT(cppcoreguidelines-no-malloc): libplist allocates with malloc
  plist_free(root);
  return binary;
}

struct LookupCase {
  const char* key;
  const char* expected;
};

class InfoPlistTest : public ::testing::TestWithParam<bool> {};

TEST_P(InfoPlistTest, ReturnsStringValuesOnly) {
  TempDir dir;
  const std::string bytes = GetParam() ? ToBinary(kInfoPlist) : std::string(kInfoPlist);
  ASSERT_FALSE(bytes.empty());
  ASSERT_EQ(bytes.rfind("bplist00", 0) == 0, GetParam());
  const std::string path = dir.Write("Info.plist", bytes).string();
  TestDesktop test(nlohmann::json{{"infoPlist", path}}.dump());
  platform::sim::SimBundle bundle(test.desktop());
  ScopedOverride<platform::NSBundle> use(&bundle);
  for (const LookupCase& c :
       {LookupCase{"CFBundleName", "Kestrelgate"},
        LookupCase{"KGSettingsFolder", "Kestrelgate Exams ü"}, LookupCase{"Empty", ""},
        LookupCase{"BuildNumber", ""}, LookupCase{"Ratio", ""}, LookupCase{"LSUIElement", ""},
        LookupCase{"Languages", ""}, LookupCase{"Nested", ""}, LookupCase{"Icon", ""},
        LookupCase{"cfbundlename", ""}, LookupCase{"Missing", ""}, LookupCase{"", ""}}) {
    EXPECT_EQ(UtilitySwift().getInfoPlistProperty(c.key), c.expected) << c.key;
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, InfoPlistTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "binary" : "xml"; });

TEST(InfoPlistPathTest, RelativePathIsTakenFromTheScenarioFolder) {
  TempDir dir;
  dir.Write("exam/Info.plist", kInfoPlist);
  const std::string scenario =
      dir.Write("exam/scenario.json", R"({"infoPlist": "Info.plist"})").string();
  platform::sim::Desktop desktop(platform::sim::Scenario::Load(scenario), "");
  platform::sim::SimBundle bundle(desktop);
  ScopedOverride<platform::NSBundle> use(&bundle);
  EXPECT_EQ(UtilitySwift().getInfoPlistProperty("CFBundleName"), "Kestrelgate");
}

TEST(InfoPlistPathTest, NoInfoPlistGivesEmptyStrings) {
  TestDesktop test;
  platform::sim::SimBundle bundle(test.desktop());
  ScopedOverride<platform::NSBundle> use(&bundle);
  EXPECT_EQ(UtilitySwift().getInfoPlistProperty("CFBundleName"), "");
}

// Capture-device requests against the simulated desktop of `scenario`.
class CapturePermissionTest : public ::testing::Test {
 protected:
  // Runs `request` once per element of `calls` and returns the log lines once
  // the platform has answered every request it was sent.
  std::vector<LogLine> Run(const std::string& scenario, void (UtilitySwift::*request)(),
                           int calls = 1) {
    TestDesktop test(scenario);
    {
      platform::sim::SimCaptureDevice device(test.desktop());
      ScopedOverride<platform::AVCaptureDevice> use(&device);
      for (int i = 0; i < calls; ++i) {
        (UtilitySwift().*request)();
      }
      // Destroying the device runs every completion still queued.
    }
    requests_ = test.Journal("requestAccessForMediaType:completionHandler:");
    return host_.logs();
  }
  ScopedRecordingHost host_;
  std::vector<nlohmann::json> requests_;
};

TEST_F(CapturePermissionTest, AlreadyAuthorisedDoesNothing) {
  EXPECT_EQ(
      Run(R"({"permissions": {"microphone": 3}})", &UtilitySwift::requestMicrophonePermission),
      std::vector<LogLine>{});
  EXPECT_TRUE(requests_.empty());
  EXPECT_EQ(Run("{}", &UtilitySwift::requestCameraPermission), std::vector<LogLine>{});
  EXPECT_TRUE(requests_.empty());
}

TEST_F(CapturePermissionTest, DeniedCameraIsAskedAllTheSame) {
  EXPECT_EQ(Run(R"({"permissions": {"camera": 2}})", &UtilitySwift::requestCameraPermission),
            (std::vector<LogLine>{{"Camera not authorized", "INFO"}}));
  ASSERT_EQ(requests_.size(), 1U);
  EXPECT_EQ(requests_[0]["args"]["mediaType"], "vide");
}

TEST_F(CapturePermissionTest, RestrictedMicrophoneIsRefused) {
  EXPECT_EQ(
      Run(R"({"permissions": {"microphone": 1}})", &UtilitySwift::requestMicrophonePermission),
      (std::vector<LogLine>{{"Audio not authorized", "INFO"}}));
  ASSERT_EQ(requests_.size(), 1U);
  EXPECT_EQ(requests_[0]["args"]["mediaType"], "soun");
}

TEST_F(CapturePermissionTest, UndeterminedMicrophoneGrantedIsAskedOnce) {
  EXPECT_EQ(
      Run(R"({"permissions": {"microphone": 0}})", &UtilitySwift::requestMicrophonePermission, 3),
      (std::vector<LogLine>{{"Audio authorized", "INFO"}}));
  EXPECT_EQ(requests_.size(), 1U);
}

TEST_F(CapturePermissionTest, UndeterminedCameraRefusedIsAskedEachTime) {
  EXPECT_EQ(
      Run(R"({"permissions": {"camera": 0, "cameraRequestGranted": false}})",
          &UtilitySwift::requestCameraPermission, 2),
      (std::vector<LogLine>{{"Camera not authorized", "INFO"}, {"Camera not authorized", "INFO"}}));
  EXPECT_EQ(requests_.size(), 2U);
}

TEST_F(CapturePermissionTest, RequestReturnsBeforeTheAnswer) {
  // A device whose answers wait for the test: the request must not.
  class HeldDevice : public platform::AVCaptureDevice {
   public:
    int64_t authorizationStatusForMediaType(std::string_view) override { return 0; }
    void requestAccessForMediaType(std::string_view, std::function<void(bool)> done) override {
      done_ = std::move(done);
    }
    std::function<void(bool)> done_;
  } device;
  ScopedOverride<platform::AVCaptureDevice> use(&device);
  UtilitySwift().requestCameraPermission();
  EXPECT_TRUE(host_.logs().empty());
  ASSERT_TRUE(device.done_);
  device.done_(true);
  EXPECT_EQ(host_.logs(), (std::vector<LogLine>{{"Camera authorized", "INFO"}}));
}

// Records the requested pauses instead of sleeping.
class RecordedSleeps : public platform::NSThread {
 public:
  void sleepForTimeInterval(double seconds) override { intervals.push_back(seconds); }
  std::vector<double> intervals;
};

struct AccessibilityCase {
  const char* name;
  const char* scenario;
  size_t sleeps;
  size_t checks;  // The prompt, then one per sleep and the one that found trust.
  const char* message;
};

void PrintTo(const AccessibilityCase& c, std::ostream* os) { *os << c.name; }

class AccessibilityTest : public ::testing::TestWithParam<AccessibilityCase> {};

TEST_P(AccessibilityTest, PollsOncePerSecondUntilTrusted) {
  ScopedRecordingHost host;
  TestDesktop test(GetParam().scenario);
  platform::sim::SimAXTrust trust(test.desktop());
  RecordedSleeps sleeps;
  ScopedOverride<platform::AXTrust> use_trust(&trust);
  ScopedOverride<platform::NSThread> use_sleeps(&sleeps);

  UtilitySwift().requestAccessibilityPermission();

  EXPECT_EQ(sleeps.intervals, std::vector<double>(GetParam().sleeps, 1.0));
  EXPECT_EQ(host.logs(), (std::vector<LogLine>{{GetParam().message, "INFO"}}));
  const auto checks = test.Journal("AXIsProcessTrustedWithOptions");
  ASSERT_FALSE(checks.empty());
  EXPECT_EQ(checks[0]["args"]["prompt"], true);
  EXPECT_EQ(checks.size(), GetParam().checks);
  for (size_t i = 1; i < checks.size(); ++i) {
    EXPECT_EQ(checks[i]["args"]["prompt"], false);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, AccessibilityTest,
    ::testing::Values(
        AccessibilityCase{"trusted", "{}", 0, 1,
                          "User already had accessibility permissions for Kestrelgate application"},
        AccessibilityCase{"granted_at_the_prompt",
                          R"({"permissions": {"accessibilityTrusted": false}})", 0, 2,
                          "User provided accessibility permissions to Kestrelgate application"},
        AccessibilityCase{"granted_after_three_polls",
                          R"({"permissions": {"accessibilityTrusted": false,
                                              "accessibilityGrantedAfterPolls": 3}})",
                          3, 5,
                          "User provided accessibility permissions to Kestrelgate application"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace osxnatives
