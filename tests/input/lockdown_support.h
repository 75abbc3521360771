// Test doubles and a fixture for the input lockdown: a simulated desktop of
// the test's own, a home folder in a temporary directory, recorded (not run)
// shell commands, and error-injecting file operations.
#ifndef OSXNATIVES_TESTS_INPUT_LOCKDOWN_SUPPORT_H_
#define OSXNATIVES_TESTS_INPUT_LOCKDOWN_SUPPORT_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/linux/services.h"
#include "platform/ns_file_manager.h"
#include "platform/ns_property_list_serialization.h"
#include "platform/ns_task.h"
#include "platform/posix/services.h"
#include "platform/sim/bundle.h"
#include "platform/sim/notification_center.h"
#include "platform/sim/private_functions.h"
#include "tests/support/recording_host.h"
#include "tests/support/sim_desktop.h"

namespace osxnatives::testing {

// The real file operations, with the home folder (and so Application
// Support) moved to `home`. Each failure switch makes that operation fail
// with a fixed description.
class TestFileManager : public platform::NSFileManager {
 public:
  explicit TestFileManager(std::filesystem::path home) : home_(std::move(home)) {}

  bool failApplicationSupport = false;
  bool failCreateDirectory = false;
  bool failWrite = false;
  bool failRemove = false;

  std::string NSHomeDirectory() override { return home_.string(); }
  platform::PathResult applicationSupportDirectory() override {
    if (failApplicationSupport) {
      return {std::nullopt, "no support folder"};
    }
    return {(home_ / "Library" / "Application Support").string(), ""};
  }
  std::optional<std::string> createDirectoryWithIntermediates(const std::string& path) override {
    if (failCreateDirectory) {
      return "cannot create folder";
    }
    return real().createDirectoryWithIntermediates(path);
  }
  bool fileExistsAtPath(const std::string& path) override { return real().fileExistsAtPath(path); }
  bool checkResourceIsReachable(const std::string& path) override {
    return real().checkResourceIsReachable(path);
  }
  std::optional<std::string> contentsAtPath(const std::string& path) override {
    return real().contentsAtPath(path);
  }
  std::optional<std::string> writeAtomically(const std::string& path,
                                             std::string_view contents) override {
    if (failWrite) {
      return "disk full";
    }
    return real().writeAtomically(path, contents);
  }
  std::optional<std::string> removeItemAtPath(const std::string& path) override {
    if (failRemove) {
      return "file is locked";
    }
    return real().removeItemAtPath(path);
  }

 private:
  static platform::NSFileManager& real() { return platform::PosixNSFileManager(); }
  std::filesystem::path home_;
};

// Records the commands instead of running them.
class RecordingTask : public platform::NSTask {
 public:
  platform::TaskOutcome launchAndWait(const std::string& launch_path,
                                      const std::vector<std::string>& arguments) override {
    std::lock_guard<std::mutex> lock(mutex_);
    EXPECT_EQ(launch_path, "/bin/bash");
    EXPECT_EQ(arguments.size(), 2U);
    EXPECT_EQ(arguments.at(0), "-c");
    commands_.push_back(arguments.at(1));
    platform::TaskOutcome outcome;
    outcome.launched = true;
    outcome.terminationStatus = 1;  // A failing command changes nothing.
    return outcome;
  }
  std::vector<std::string> commands() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return commands_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> commands_;
};

// Everything the input handler touches, simulated or moved into a temporary
// folder: `home()` is the user's home, the desktop's journal records the hot
// key, corner and delegate effects, `task` records the shell commands and
// `host` the log lines.
class Lockdown {
 public:
  explicit Lockdown(const std::string& scenario = "{}")
      : desktop_(scenario),
        files(desktop_.dir().path() / "home"),
        bundles(desktop_.desktop()),
        center(desktop_.desktop()),
        bundle(desktop_.desktop()) {
    std::filesystem::create_directories(home());
  }

  std::filesystem::path home() const { return desktop_.dir().path() / "home"; }
  std::filesystem::path settingsFolder(const std::string& bundle_name) const {
    std::filesystem::path folder = home() / "Library" / "Application Support" / "Trevant";
    return bundle_name.empty() ? folder : folder / bundle_name;
  }
  std::filesystem::path dockFile() const {
    return home() / "Library" / "Preferences" / "com.apple.dock.plist";
  }
  // Writes the Dock preferences as an XML property list of `dict`.
  void WriteDock(const nlohmann::json& dict) const { WriteRaw(dockFile(), Xml(dict)); }
  static void WriteRaw(const std::filesystem::path& file, const std::string& bytes) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
  }
  static std::string Xml(const nlohmann::json& dict) {
    return platform::LinuxNSPropertyListSerialization().xmlDataWithPropertyList(dict);
  }
  static std::optional<std::string> ReadRaw(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
      return std::nullopt;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }
  // The root dictionary of a property-list file; null when unreadable.
  static nlohmann::json ReadPlist(const std::filesystem::path& file) {
    auto bytes = ReadRaw(file);
    if (!bytes) {
      return nullptr;
    }
    auto parsed = platform::LinuxNSPropertyListSerialization().propertyListWithData(*bytes);
    return parsed.plist.value_or(nullptr);
  }

  std::vector<nlohmann::json> Journal(const std::string& call) const {
    return desktop_.Journal(call);
  }
  std::vector<nlohmann::json> Journal() const { return desktop_.Journal(); }
  // The (id, enabled) pairs passed to the hot key setter, in order.
  std::vector<std::pair<int32_t, bool>> HotKeyCalls() const {
    std::vector<std::pair<int32_t, bool>> calls;
    for (const auto& entry : Journal("CGSSetSymbolicHotKeyEnabled")) {
      calls.emplace_back(entry["args"]["id"].get<int32_t>(), entry["args"]["enabled"].get<bool>());
    }
    return calls;
  }
  // The (action, corner) pairs passed to the corner function, in order.
  std::vector<std::pair<int32_t, int32_t>> CornerCalls() const {
    std::vector<std::pair<int32_t, int32_t>> calls;
    for (const auto& entry : Journal("CoreDockSetExposeCornerAction")) {
      calls.emplace_back(entry["args"]["action"].get<int32_t>(),
                         entry["args"]["corner"].get<int32_t>());
    }
    return calls;
  }
  std::vector<std::string> Messages() const {
    std::vector<std::string> messages;
    for (const auto& line : host.logs()) {
      messages.push_back(line.message);
    }
    return messages;
  }

 private:
  TestDesktop desktop_;

 public:
  TestFileManager files;
  RecordingTask task;
  platform::sim::SimPrivateFunctions bundles;
  platform::sim::SimNotificationCenter center;
  platform::sim::SimBundle bundle;
  ScopedRecordingHost host;

 private:
  platform::ScopedOverride<platform::NSFileManager> use_files_{&files};
  platform::ScopedOverride<platform::NSTask> use_task_{&task};
  platform::ScopedOverride<platform::CFBundles> use_bundles_{&bundles};
  platform::ScopedOverride<platform::NSUserNotificationCenter> use_center_{&center};
  platform::ScopedOverride<platform::NSBundle> use_bundle_{&bundle};
};

// Captures standard output while alive; `Lines()` ends the capture.
class CapturedStdout {
 public:
  CapturedStdout() { ::testing::internal::CaptureStdout(); }
  ~CapturedStdout() {
    if (!done_) {
      ::testing::internal::GetCapturedStdout();
    }
  }
  std::vector<std::string> Lines() {
    done_ = true;
    std::string text = ::testing::internal::GetCapturedStdout();
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
      lines.push_back(line);
    }
    return lines;
  }

 private:
  bool done_ = false;
};

}  // namespace osxnatives::testing

#endif  // OSXNATIVES_TESTS_INPUT_LOCKDOWN_SUPPORT_H_
