// The simulated desktop's stand-ins, which every other test stands on.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/sim/authorization.h"
#include "platform/sim/bundle.h"
#include "platform/sim/journal.h"
#include "platform/sim/main_thread.h"
#include "platform/sim/scenario.h"
#include "platform/sim/workspace.h"
#include "tests/support/sim_desktop.h"

namespace osxnatives::platform::sim {
namespace {

using osxnatives::testing::TempDir;
using osxnatives::testing::TestDesktop;
using std::chrono::seconds;

constexpr FourCharCode kGURL = MakeFourCharCode("GURL");

// What reached the handlers, marked when it ran on the test's own thread; read
// after WaitUntilIdle, which orders it after every handler.
struct Seen : std::vector<std::string> {
  void Add(const std::string& what) {
    push_back(what + (std::this_thread::get_id() == caller ? " on caller" : ""));
  }
  std::thread::id caller = std::this_thread::get_id();
};

std::string Url(const NSAppleEventDescriptor& event) {
  return *event.paramDescriptorForKeyword(MakeFourCharCode("----"))->stringValue();
}

// The value of `key` in every "deliver" entry of the journal, in order.
nlohmann::json Delivered(const TestDesktop& test, const char* key) {
  nlohmann::json values = nlohmann::json::array();
  for (const auto& entry : test.Journal("deliver")) values.push_back(entry[key]);
  return values;
}

// The listener's local set: a key-down monitor that swallows key code 12 and
// passes the rest, and swallowing mouse/gesture and pressure monitors.
void InstallLocalSet(SimMainThread& main, Seen& seen) {
  for (const auto& [mask, name] : std::vector<std::pair<uint64_t, std::string>>{
           {kEventMaskKeyDown, "local "},
           {kEventMaskOtherMouseDown | kEventMaskGesture, "mouse "},
           {kEventMaskPressure, "pressure "}}) {
    main.addLocalMonitorForEventsMatchingMask(mask, [&seen, label = name](const Event& e) {
      seen.Add(label + std::to_string(static_cast<int>(e.type)) + ":" + std::to_string(e.keyCode));
      return e.keyCode == 12 || label != "local " ? std::nullopt : std::optional<Event>(e);
    });
  }
}

int CountLines(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

TEST(SimMainThreadTest, InputWaitsForTheFullLocalSetThenFlowsInOrderOnItsOwnThread) {
  TestDesktop test(R"({"inputEvents": [
      {"type": "keyDown", "keyCode": 12, "modifierFlags": 1048576},
      {"type": "keyDown", "keyCode": 4, "global": true}, {"type": "otherMouseDown"},
      {"type": "gesture", "global": false}, {"type": "pressure"}]})");
  SimMainThread main(test.desktop());
  Seen seen;
  main.addGlobalMonitorForEventsMatchingMask(kEventMaskKeyDown, [&seen](const Event& e) {
    seen.Add("global " + std::to_string(e.keyCode));
  });
  main.addLocalMonitorForEventsMatchingMask(kEventMaskKeyDown, [](const Event& e) { return e; });
  ASSERT_TRUE(main.WaitUntilIdle(seconds(10)));  // not the full local set yet
  EXPECT_TRUE(test.Journal("deliver").empty());

  InstallLocalSet(main, seen);
  ASSERT_TRUE(main.WaitUntilIdle(seconds(10)));
  EXPECT_EQ(seen, (std::vector<std::string>{"local 10:12", "global 4", "mouse 25:0", "mouse 29:0",
                                            "pressure 34:0"}));
  EXPECT_EQ(Delivered(test, "result"),
            nlohmann::json({"swallowed", "passed", "swallowed", "swallowed", "swallowed"}));
  EXPECT_EQ(Delivered(test, "monitors"), nlohmann::json({2, 1, 1, 1, 1}));
  EXPECT_EQ(Delivered(test, "args")[0], nlohmann::json::parse(R"(
      {"type": "keyDown", "keyCode": 12, "modifierFlags": 1048576, "global": false})"));
}

TEST(SimMainThreadTest, AppleEventsWaitForTheGetURLHandlerWhichALaterOneReplaces) {
  TestDesktop test(R"({"appleEvents": [
      {"eventClass": "aevt", "eventID": "GURL", "url": "file:///tmp/a"},
      {"eventClass": "GURL", "eventID": "GURL", "url": "kestrelgate://exam/42?x=\u00e9 y"},
      {"eventClass": "aevt", "eventID": "odoc", "url": "unhandled"},
      {"eventClass": "GURL", "eventID": "GURL", "url": "kestrelgate://second"}]})");
  SimMainThread main(test.desktop());
  Seen seen;
  auto record = [&seen](const char* name) {
    return [&seen, name](const NSAppleEventDescriptor& e, NSAppleEventDescriptor&) {
      seen.Add(name + Url(e));
    };
  };
  // Another class's event of the same identifier: nothing flows yet.
  main.setEventHandler(record("other "), MakeFourCharCode("aevt"), kGURL);
  ASSERT_TRUE(main.WaitUntilIdle(seconds(10)));
  EXPECT_TRUE(seen.empty());
  // The first get-URL handler replaces itself while its event is in hand.
  main.setEventHandler(
      [&](const NSAppleEventDescriptor& event, NSAppleEventDescriptor&) {
        seen.Add("first " + Url(event));
        main.setEventHandler(record("second "), kGURL, kGURL);
      },
      kGURL, kGURL);
  ASSERT_TRUE(main.WaitUntilIdle(seconds(10)));
  EXPECT_EQ(seen, (std::vector<std::string>{"other file:///tmp/a",
                                            "first kestrelgate://exam/42?x=\u00e9 y",
                                            "second kestrelgate://second"}));
  EXPECT_EQ(Delivered(test, "result"),
            nlohmann::json({"handled", "handled", "unhandled", "handled"}));
}

TEST(SimMainThreadTest, BadEntriesAreSkippedWithOneLineEachAndTheRestIsDelivered) {
  // {an Apple event, the entry}
  const std::pair<bool, const char*> cases[] = {
      {false, "12"},
      {false, R"({"type": "keyDown"})"},
      {false, R"({"type": "keyDown", "keyCode": 65536})"},
      {true, R"({"eventClass": "GUR", "eventID": "GURL", "url": "x"})"},
      {true, R"({"eventClass": "GURL", "eventID": "GURL"})"}};
  for (const auto& [apple, entry] : cases) {
    const std::string bad = std::string(entry) + ", ";
    TestDesktop test(R"({"inputEvents": [{"type": "keyDown", "keyCode": 65535}, )" +
                     (apple ? "" : bad) + R"({"type": "pressure"}], "appleEvents": [)" +
                     (apple ? bad : "") +
                     R"({"eventClass": "GURL", "eventID": "GURL", "url": "b"}]})");
    ::testing::internal::CaptureStderr();
    SimMainThread main(test.desktop());
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(CountLines(err), 1) << entry << ": " << err;
    EXPECT_NE(err.find(apple ? "appleEvents[0]" : "inputEvents[1]"), std::string::npos) << err;
    EXPECT_EQ(main.Run(0, nullptr), 0);
    EXPECT_EQ(test.Journal("deliver").size(), 3U) << entry;  // the good ones
  }
}

TEST(SimMainThreadTest, ThrowingHandlersDoNotStopDeliveryAndHandlersMayInstallMonitors) {
  TestDesktop test(R"({"inputEvents": [{"type": "keyDown", "keyCode": 1}, {"type": "pressure"}],
                      "appleEvents": [{"eventClass": "GURL", "eventID": "GURL", "url": "a"},
                                      {"eventClass": "GURL", "eventID": "GURL", "url": "b"}]})");
  SimMainThread main(test.desktop());
  Seen seen;
  // The URL handler installs the local set from the delivering thread, and
  // a throwing key-down monitor behind it; every handler throws.
  ::testing::internal::CaptureStderr();
  main.setEventHandler(
      [&](const NSAppleEventDescriptor& event, NSAppleEventDescriptor&) {
        seen.Add("url " + Url(event));
        if (seen.size() == 1) {
          InstallLocalSet(main, seen);
          main.addLocalMonitorForEventsMatchingMask(kEventMaskKeyDown,
                                                    [](const Event&) -> std::optional<Event> {
                                                      throw std::runtime_error("monitor failure");
                                                    });
        }
        throw 7;
      },
      kGURL, kGURL);
  ASSERT_TRUE(main.WaitUntilIdle(seconds(10)));
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(CountLines(err), 3) << err;
  EXPECT_NE(err.find("monitor failure"), std::string::npos) << err;
  std::sort(seen.begin(), seen.end());  // the two queues interleave
  EXPECT_EQ(seen, (std::vector<std::string>{"local 10:1", "pressure 34:0", "url a", "url b"}));
}

TEST(ScenarioTest, MalformedOrUnreadableGivesOneLineAndTheDefaults) {
  for (const char* text : {"", "[1, 2]", "{} }", "osVersion=14"}) {
    ::testing::internal::CaptureStderr();
    const Scenario scenario = Scenario::Parse(text, "/tmp/s.json");
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(CountLines(err), 1) << text << ": " << err;
    EXPECT_NE(err.find("/tmp/s.json"), std::string::npos) << err;
    EXPECT_EQ(scenario.root(), nlohmann::json::object()) << text;
  }
}

TEST(JournalTest, OneWholeObjectPerEffectFromManyThreads) {
  TestDesktop test;
  test.desktop().journal().Record("NSPasteboard", "clearContents", nullptr);
  constexpr int kThreads = 8, kPerThread = 500;
  std::vector<std::thread> threads(kThreads);
  for (int t = 0; t < kThreads; ++t) {
    threads[t] = std::thread([&, t] {
      for (int i = 0; i < kPerThread; ++i) {
        test.desktop().journal().Record(
            "T", "call", {{"t", t}, {"i", i}, {"pad", std::string(200, 'x')}}, {{"result", 1}});
      }
    });
  }
  for (auto& thread : threads) thread.join();
  // Parsing every line proves none was interleaved; the count proves none was lost.
  const auto entries = test.Journal();
  ASSERT_EQ(entries.size(), static_cast<size_t>(kThreads * kPerThread + 1));
  EXPECT_EQ(entries[0], nlohmann::json::parse(
                            R"({"service":"NSPasteboard","call":"clearContents","args":{}})"));
  std::vector<int> next(kThreads, 0);
  for (size_t e = 1; e < entries.size(); ++e) {
    EXPECT_EQ(entries[e]["args"]["i"], next[entries[e]["args"]["t"].get<int>()]++);
    EXPECT_EQ(entries[e]["result"], 1);
  }
}

TEST(JournalTest, UnopenablePathRecordsNothingAndSaysSo) {
  TempDir dir;
  ::testing::internal::CaptureStderr();
  Journal journal((dir.path() / "no" / "such" / "folder" / "j.jsonl").string());
  journal.Record("NSPasteboard", "clearContents", nullptr);
  EXPECT_EQ(CountLines(::testing::internal::GetCapturedStderr()), 1);
}

TEST(SimWorkspaceTest, ReadsApplicationsStandsPidZeroForTheHostAndActivates) {
  TestDesktop test(R"({
    "currentApplication": {"localizedName": "Kestrelgate", "bundleIdentifier": "com.kg"},
    "runningApplications": [
      {"pid": 501, "localizedName": "Mail", "bundleIdentifier": "com.apple.mail"},
      {"pid": 0, "localizedName": "Self"}, {"pid": "502"}, {"localizedName": "no pid"},
      {"pid": -3}, 7, {"pid": 503, "localizedName": 9}]})");
  ::testing::internal::CaptureStderr();
  SimWorkspace workspace(test.desktop(), 4242);
  const std::string err = ::testing::internal::GetCapturedStderr();
  const auto apps = workspace.runningApplications();
  EXPECT_EQ(apps, (std::vector<RunningApplication>{{501, "Mail", "com.apple.mail"},
                                                   {4242, "Self", std::nullopt},
                                                   {503, std::nullopt, std::nullopt}}));
  EXPECT_EQ(CountLines(err), 5) << err;  // four entries skipped, one wrongly typed name
  EXPECT_EQ(workspace.runningApplicationWithProcessIdentifier(4242),
            (RunningApplication{4242, "Kestrelgate", "com.kg"}));
  EXPECT_EQ(workspace.runningApplicationWithProcessIdentifier(999), std::nullopt);
  EXPECT_EQ(workspace.frontmostApplication(), std::nullopt);
  EXPECT_TRUE(workspace.activateWithOptions(apps[0], 3));
  EXPECT_EQ(workspace.frontmostApplication(), apps[0]);
  EXPECT_EQ(test.Journal("activateWithOptions:").at(0)["args"],
            nlohmann::json::parse(
                R"({"bundleIdentifier":"com.apple.mail","options":3,"processIdentifier":501})"));
}

TEST(SimBundleTest, ReadsTheListUnderTheScenarioIdentifierAndSaysWhatItCannotRead) {
  TestDesktop files;
  const auto info =
      files.dir().Write("Info.plist",
                        "<plist><dict><key>CFBundleName</key><string>FromFile</string>"
                        "<key>CFBundleIdentifier</key><string>from.file</string></dict></plist>");
  TestDesktop test(nlohmann::json{{"infoPlist", info.string()},
                                  {"currentApplication", {{"bundleIdentifier", "com.kg"}}}}
                       .dump());
  EXPECT_EQ(SimBundle(test.desktop()).infoDictionary(),
            (nlohmann::json{{"CFBundleName", "FromFile"}, {"CFBundleIdentifier", "com.kg"}}));
  for (const auto& path : {files.dir().Write("garbage.plist", "not a property list").string(),
                           files.dir().Write("array.plist", "<plist><array/></plist>").string(),
                           (files.dir().path() / "absent.plist").string()}) {
    TestDesktop unusable(nlohmann::json{{"infoPlist", path}}.dump());
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(SimBundle(unusable.desktop()).infoDictionary(), nlohmann::json::object()) << path;
    EXPECT_EQ(CountLines(::testing::internal::GetCapturedStderr()), 1) << path;
  }
}

TEST(SimCaptureDeviceTest, AnswersOnItsOwnThreadRemembersTheAnswerAndDrainsOnDestruction) {
  TestDesktop test(R"({"permissions": {"camera": 0, "cameraRequestGranted": false,
                                       "microphone": 0}})");
  std::vector<std::string> answers;  // read once the device has joined its thread
  const std::thread::id caller = std::this_thread::get_id();
  auto record = [&](bool granted) {
    answers.push_back(std::string(granted ? "yes" : "no") +
                      (std::this_thread::get_id() == caller ? " on caller" : ""));
  };
  {
    SimCaptureDevice device(test.desktop());
    device.requestAccessForMediaType(kAVMediaTypeVideo, record);
    device.requestAccessForMediaType(kAVMediaTypeAudio, record);
    EXPECT_EQ(device.authorizationStatusForMediaType(kAVMediaTypeVideo), 2);
    EXPECT_EQ(device.authorizationStatusForMediaType(kAVMediaTypeAudio), 3);
    // Asked again, the camera is refused without the user: the status stands.
    for (int i = 0; i < 20; ++i) device.requestAccessForMediaType(kAVMediaTypeVideo, record);
  }  // the queued completions run before the device goes
  std::vector<std::string> expected = {"no", "yes"};
  expected.resize(22, "no");
  EXPECT_EQ(answers, expected);
}

}  // namespace
}  // namespace osxnatives::platform::sim
