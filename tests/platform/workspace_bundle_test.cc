#include <gtest/gtest.h>
#include <plist/plist.h>

#include <cstdlib>
#include <string>

#include "platform/sim/bundle.h"
#include "platform/sim/workspace.h"
#include "tests/support/sim_desktop.h"

namespace osxnatives::platform::sim {
namespace {

using osxnatives::testing::TestDesktop;

constexpr int32_t kHostPid = 4242;

TEST(SimWorkspaceTest, ReadsApplicationsAndStandsPidZeroForTheHost) {
  TestDesktop test(R"({
    "currentApplication": {"localizedName": "Kestrelgate", "bundleIdentifier": "com.kg"},
    "runningApplications": [
      {"pid": 501, "localizedName": "Mail", "bundleIdentifier": "com.apple.mail"},
      {"pid": 0, "localizedName": "Self"},
      {"pid": "502", "localizedName": "pid as text"},
      {"localizedName": "no pid"},
      {"pid": -3},
      7,
      {"pid": 503, "localizedName": 9}
    ],
    "frontmostApplication": "com.apple.mail"})");
  ::testing::internal::CaptureStderr();
  SimWorkspace workspace(test.desktop(), kHostPid);
  const std::string err = ::testing::internal::GetCapturedStderr();

  const auto apps = workspace.runningApplications();
  ASSERT_EQ(apps.size(), 3U) << err;
  EXPECT_EQ(apps[0], (RunningApplication{501, "Mail", "com.apple.mail"}));
  EXPECT_EQ(apps[1].processIdentifier, kHostPid);
  EXPECT_EQ(apps[2], (RunningApplication{503, std::nullopt, std::nullopt}));
  // Four entries skipped and one wrongly typed name: one line each.
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 5) << err;

  EXPECT_EQ(workspace.currentApplication(),
            (RunningApplication{kHostPid, "Kestrelgate", "com.kg"}));
  EXPECT_EQ(workspace.runningApplicationWithProcessIdentifier(kHostPid)->localizedName,
            "Kestrelgate");
  EXPECT_EQ(workspace.runningApplicationWithProcessIdentifier(501)->localizedName, "Mail");
  EXPECT_EQ(workspace.runningApplicationWithProcessIdentifier(999), std::nullopt);
  EXPECT_EQ(workspace.frontmostApplication()->processIdentifier, 501);
}

TEST(SimWorkspaceTest, ActivationMakesFrontmostAndIsJournaled) {
  TestDesktop test(R"({"runningApplications": [{"pid": 7, "bundleIdentifier": "com.x"}]})");
  SimWorkspace workspace(test.desktop(), kHostPid);
  EXPECT_EQ(workspace.frontmostApplication(), std::nullopt);

  EXPECT_TRUE(workspace.activateWithOptions(workspace.runningApplications()[0], 3));
  EXPECT_EQ(workspace.frontmostApplication()->processIdentifier, 7);
  const auto journal = test.Journal("activateWithOptions:");
  ASSERT_EQ(journal.size(), 1U);
  EXPECT_EQ(journal[0]["service"], "NSRunningApplication");
  EXPECT_EQ(journal[0]["args"],
            nlohmann::json::parse(R"({"bundleIdentifier":"com.x","options":3})"));
}

std::string BinaryPlist(const std::string& xml) {
  plist_t root = nullptr;
  plist_from_xml(xml.data(), static_cast<uint32_t>(xml.size()), &root);
  char* bytes = nullptr;
  uint32_t length = 0;
  plist_to_bin(root, &bytes, &length);
  std::string result(bytes, length);
  std::free(bytes);  // NOLINT(cppcoreguidelines-no-malloc)
  plist_free(root);
  return result;
}

constexpr char kInfoXml[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0"><dict>
  <key>CFBundleName</key><string>FromFile</string>
  <key>CFBundleShortVersionString</key><string>3.1.4</string>
  <key>LSMinimumSystemVersion</key><integer>12</integer>
  <key>NSHighResolutionCapable</key><true/>
  <key>Blob</key><data>AAEC</data>
  <key>Schemes</key><array><string>kestrelgate</string></array>
</dict></plist>)";

class SimBundleTest : public ::testing::TestWithParam<bool> {};

TEST_P(SimBundleTest, ReadsXmlAndBinaryAndKeepsTypes) {
  TestDesktop files;
  const bool binary = GetParam();
  const auto path = files.dir().Write("Info.plist", binary ? BinaryPlist(kInfoXml) : kInfoXml);
  TestDesktop test(nlohmann::json{{"infoPlist", path.string()}}.dump());
  const nlohmann::json info = SimBundle(test.desktop()).infoDictionary();
  EXPECT_EQ(info["CFBundleName"], "FromFile");
  EXPECT_EQ(info["CFBundleShortVersionString"], "3.1.4");
  EXPECT_EQ(info["LSMinimumSystemVersion"], 12);
  EXPECT_EQ(info["NSHighResolutionCapable"], true);
  EXPECT_EQ(info["Blob"], nlohmann::json::parse(R"({"$data":"AAEC"})"));
  EXPECT_EQ(info["Schemes"], nlohmann::json::parse(R"(["kestrelgate"])"));
}

INSTANTIATE_TEST_SUITE_P(Formats, SimBundleTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Binary" : "Xml"; });

TEST(SimBundleOverlayTest, BundleNameAndIdentifierFromScenarioWin) {
  TestDesktop files;
  const auto path = files.dir().Write("Info.plist", kInfoXml);
  TestDesktop test(nlohmann::json{
      {"infoPlist", path.string()},
      {"currentApplication", {{"bundleName", "Kestrelgate"}, {"bundleIdentifier", "com.kg"}}}}
                       .dump());
  const nlohmann::json info = SimBundle(test.desktop()).infoDictionary();
  EXPECT_EQ(info["CFBundleName"], "Kestrelgate");
  EXPECT_EQ(info["CFBundleIdentifier"], "com.kg");
  EXPECT_EQ(info["CFBundleShortVersionString"], "3.1.4");
}

TEST(SimBundleOverlayTest, UnusableFilesGiveOneLineAndAnEmptyDictionary) {
  TestDesktop files;
  const std::string cases[] = {
      files.dir().Write("garbage.plist", "this is not a property list").string(),
      files.dir().Write("array.plist", BinaryPlist("<plist><array/></plist>")).string(),
      (files.dir().path() / "absent.plist").string(),
  };
  for (const auto& path : cases) {
    TestDesktop test(nlohmann::json{{"infoPlist", path}}.dump());
    ::testing::internal::CaptureStderr();
    const nlohmann::json info = SimBundle(test.desktop()).infoDictionary();
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(info, nlohmann::json::object()) << path;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << path << ": " << err;
  }
}

}  // namespace
}  // namespace osxnatives::platform::sim
