#include <gtest/gtest.h>

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

// Only string values are properties; the Info.plist path is relative to the scenario's folder.
TEST(InfoPlistTest, ReturnsStringValuesOnly) {
  TempDir dir;
  dir.Write("exam/Info.plist", R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict>
    <key>CFBundleName</key><string>Kestrelgate ü</string><key>Empty</key><string></string>
    <key>Build</key><integer>1234</integer><key>LSUIElement</key><true/>
    <key>Languages</key><array><string>en</string></array><key>Icon</key><data>AAEC</data>
    <key>Nested</key><dict><key>CFBundleName</key><string>inner</string></dict></dict></plist>)");
  const auto scenario = dir.Write("exam/scenario.json", R"({"infoPlist": "Info.plist"})");
  platform::sim::Desktop desktop(platform::sim::Scenario::Load(scenario.string()), "");
  platform::sim::SimBundle bundle(desktop);
  ScopedOverride<platform::NSBundle> use(&bundle);
  EXPECT_EQ(UtilitySwift().getInfoPlistProperty("CFBundleName"), "Kestrelgate ü");
  for (const char* key :
       {"Empty", "Build", "LSUIElement", "Languages", "Nested", "Icon", "cfbundlename", "None"}) {
    EXPECT_EQ(UtilitySwift().getInfoPlistProperty(key), "") << key;
  }
}

TEST(CapturePermissionTest, AsksOnlyWhenNotAuthorised) {
  const struct {
    const char* scenario;
    bool camera;
    int calls;
    size_t requests;      // sent to the platform, each answered with one line
    const char* message;  // of each answer
  } cases[] = {{R"({"permissions": {"microphone": 3}})", false, 1, 0, ""},
               {R"({"permissions": {"camera": 2}})", true, 1, 1, "Camera not authorized"},
               {R"({"permissions": {"microphone": 1}})", false, 1, 1, "Audio not authorized"},
               {R"({"permissions": {"microphone": 0}})", false, 3, 1, "Audio authorized"},
               {R"({"permissions": {"camera": 0, "cameraRequestGranted": false}})", true, 2, 2,
                "Camera not authorized"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scenario);
    ScopedRecordingHost host;
    TestDesktop test(c.scenario);
    {
      platform::sim::SimCaptureDevice device(test.desktop());
      ScopedOverride<platform::AVCaptureDevice> use(&device);
      for (int i = 0; i < c.calls; ++i) {
        c.camera ? UtilitySwift().requestCameraPermission()
                 : UtilitySwift().requestMicrophonePermission();
      }
      // Destroying the device runs every completion still queued.
    }
    EXPECT_EQ(host.logs(), std::vector<LogLine>(c.requests, LogLine{c.message, "INFO"}));
    const auto requests = test.Journal("requestAccessForMediaType:completionHandler:");
    ASSERT_EQ(requests.size(), c.requests);
    for (const auto& request : requests) {
      EXPECT_EQ(request["args"]["mediaType"], c.camera ? "vide" : "soun");
    }
  }
}

// Records the requested pauses instead of sleeping.
class RecordedSleeps : public platform::NSThread {
 public:
  void sleepForTimeInterval(double seconds) override { intervals.push_back(seconds); }
  std::vector<double> intervals;
};

TEST(AccessibilityTest, PollsOncePerSecondUntilTrusted) {
  const struct {
    const char* scenario;
    size_t sleeps;  // each followed by one check, after the prompt
    bool already;
  } cases[] = {
      {"{}", 0, true},
      {R"({"permissions": {"accessibilityTrusted": false}})", 0, false},
      {R"({"permissions": {"accessibilityTrusted": false, "accessibilityGrantedAfterPolls": 3}})",
       3, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scenario);
    ScopedRecordingHost host;
    TestDesktop test(c.scenario);
    platform::sim::SimAXTrust trust(test.desktop());
    RecordedSleeps sleeps;
    ScopedOverride<platform::AXTrust> use_trust(&trust);
    ScopedOverride<platform::NSThread> use_sleeps(&sleeps);
    UtilitySwift().requestAccessibilityPermission();
    EXPECT_EQ(sleeps.intervals, std::vector<double>(c.sleeps, 1.0));
    ASSERT_EQ(host.logs().size(), 1U);
    EXPECT_EQ(host.logs()[0].message.find("already") != std::string::npos, c.already);
    // The prompt, then (when not trusted) one check per sleep and the one that found trust.
    const auto checks = test.Journal("AXIsProcessTrustedWithOptions");
    ASSERT_EQ(checks.size(), c.already ? 1U : c.sleeps + 2);
    for (size_t i = 0; i < checks.size(); ++i) {
      EXPECT_EQ(checks[i]["args"]["prompt"], i == 0);
    }
  }
}

}  // namespace
}  // namespace osxnatives
