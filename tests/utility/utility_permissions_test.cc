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

TEST(InfoPlistTest, ReturnsStringValuesOnlyFromXmlOrBinary) {
  for (bool binary : {false, true}) {
    TempDir dir;
    const std::string bytes = binary ? ToBinary(kInfoPlist) : std::string(kInfoPlist);
    ASSERT_EQ(bytes.rfind("bplist00", 0) == 0, binary);
    const std::string path = dir.Write("Info.plist", bytes).string();
    TestDesktop test(nlohmann::json{{"infoPlist", path}}.dump());
    platform::sim::SimBundle bundle(test.desktop());
    ScopedOverride<platform::NSBundle> use(&bundle);
    EXPECT_EQ(UtilitySwift().getInfoPlistProperty("CFBundleName"), "Kestrelgate");
    EXPECT_EQ(UtilitySwift().getInfoPlistProperty("KGSettingsFolder"), "Kestrelgate Exams ü");
    for (const char* key : {"Empty", "BuildNumber", "LSUIElement", "Languages", "Nested", "Icon",
                            "cfbundlename", "Missing"}) {
      EXPECT_EQ(UtilitySwift().getInfoPlistProperty(key), "") << key << (binary ? " binary" : "");
    }
  }
}

TEST(InfoPlistPathTest, RelativePathIsTakenFromTheScenarioFolderOrAbsent) {
  TempDir dir;
  dir.Write("exam/Info.plist", kInfoPlist);
  const std::string scenario =
      dir.Write("exam/scenario.json", R"({"infoPlist": "Info.plist"})").string();
  platform::sim::Desktop desktop(platform::sim::Scenario::Load(scenario), "");
  platform::sim::SimBundle bundle(desktop);
  ScopedOverride<platform::NSBundle> use(&bundle);
  EXPECT_EQ(UtilitySwift().getInfoPlistProperty("CFBundleName"), "Kestrelgate");

  TestDesktop none;  // no Info.plist at all
  platform::sim::SimBundle empty(none.desktop());
  ScopedOverride<platform::NSBundle> use_empty(&empty);
  EXPECT_EQ(UtilitySwift().getInfoPlistProperty("CFBundleName"), "");
}

TEST(CapturePermissionTest, AsksOnlyWhenNotAuthorised) {
  struct Case {
    const char* scenario;
    bool camera;
    int calls;
    size_t requests;      // sent to the platform, each answered with one line
    const char* message;  // of each answer
  };
  for (const Case& c : std::vector<Case>{
           {R"({"permissions": {"microphone": 3}})", false, 1, 0, ""},
           {R"({"permissions": {"camera": 2}})", true, 1, 1, "Camera not authorized"},
           {R"({"permissions": {"microphone": 1}})", false, 1, 1, "Audio not authorized"},
           {R"({"permissions": {"microphone": 0}})", false, 3, 1, "Audio authorized"},
           {R"({"permissions": {"camera": 0, "cameraRequestGranted": false}})", true, 2, 2,
            "Camera not authorized"}}) {
    SCOPED_TRACE(c.scenario);
    ScopedRecordingHost host;
    TestDesktop test(c.scenario);
    {
      platform::sim::SimCaptureDevice device(test.desktop());
      ScopedOverride<platform::AVCaptureDevice> use(&device);
      for (int i = 0; i < c.calls; ++i) {
        if (c.camera) {
          UtilitySwift().requestCameraPermission();
        } else {
          UtilitySwift().requestMicrophonePermission();
        }
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

TEST(CaptureRequestTest, RequestReturnsBeforeTheAnswer) {
  ScopedRecordingHost host;
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
  EXPECT_TRUE(host.logs().empty());
  ASSERT_TRUE(device.done_);
  device.done_(true);
  EXPECT_EQ(host.logs(), (std::vector<LogLine>{{"Camera authorized", "INFO"}}));
}

// Records the requested pauses instead of sleeping.
class RecordedSleeps : public platform::NSThread {
 public:
  void sleepForTimeInterval(double seconds) override { intervals.push_back(seconds); }
  std::vector<double> intervals;
};

TEST(AccessibilityTest, PollsOncePerSecondUntilTrusted) {
  const std::string granted = "User provided accessibility permissions to Kestrelgate application";
  struct Case {
    const char* scenario;
    size_t sleeps;  // each followed by one check, after the prompt
    std::string message;
  };
  for (const Case& c : std::vector<Case>{
           {"{}", 0, "User already had accessibility permissions for Kestrelgate application"},
           {R"({"permissions": {"accessibilityTrusted": false}})", 0, granted},
           {R"({"permissions": {"accessibilityTrusted": false,
                                "accessibilityGrantedAfterPolls": 3}})",
            3, granted}}) {
    SCOPED_TRACE(c.scenario);
    ScopedRecordingHost host;
    TestDesktop test(c.scenario);
    platform::sim::SimAXTrust trust(test.desktop());
    RecordedSleeps sleeps;
    ScopedOverride<platform::AXTrust> use_trust(&trust);
    ScopedOverride<platform::NSThread> use_sleeps(&sleeps);

    UtilitySwift().requestAccessibilityPermission();

    EXPECT_EQ(sleeps.intervals, std::vector<double>(c.sleeps, 1.0));
    EXPECT_EQ(host.logs(), (std::vector<LogLine>{{c.message, "INFO"}}));
    const auto checks = test.Journal("AXIsProcessTrustedWithOptions");
    // The prompt, then (when not trusted) one check per sleep and the one that found trust.
    ASSERT_EQ(checks.size(), c.message == granted ? c.sleeps + 2 : 1U);
    for (size_t i = 0; i < checks.size(); ++i) {
      EXPECT_EQ(checks[i]["args"]["prompt"], i == 0);
    }
  }
}

}  // namespace
}  // namespace osxnatives
