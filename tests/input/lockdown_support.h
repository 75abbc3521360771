// Test doubles and a fixture for the input lockdown: a simulated desktop of
// the test's own, a home folder in a temporary directory, recorded (not run)
// shell commands, and error-injecting file operations.
#ifndef OSXNATIVES_TESTS_INPUT_LOCKDOWN_SUPPORT_H_
#define OSXNATIVES_TESTS_INPUT_LOCKDOWN_SUPPORT_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/linux/services.h"
#include "platform/posix/services.h"
#include "platform/sim/bundle.h"
#include "platform/sim/notification_center.h"
#include "platform/sim/private_functions.h"
#include "tests/support/recording_host.h"
#include "tests/support/sim_desktop.h"

namespace osxnatives::testing {

// The real file operations, with the home folder (and so Application
// Support) moved to `home`. Each failure switch makes that operation fail.
class TestFileManager : public platform::NSFileManager {
  using Path = const std::string&;
  using Error = std::optional<std::string>;

 public:
  explicit TestFileManager(std::filesystem::path home) : home_(std::move(home)) {}

  bool failApplicationSupport = false;
  bool failCreateDirectory = false;
  bool failWrite = false;
  bool failRemove = false;

  std::string NSHomeDirectory() override { return home_.string(); }
  platform::PathResult applicationSupportDirectory() override {
    if (failApplicationSupport) return {std::nullopt, "no support folder"};
    return {(home_ / "Library" / "Application Support").string(), ""};
  }
  Error createDirectoryWithIntermediates(Path p) override {
    return failCreateDirectory ? "cannot create folder"
                               : real().createDirectoryWithIntermediates(p);
  }
  bool fileExistsAtPath(Path p) override { return real().fileExistsAtPath(p); }
  bool checkResourceIsReachable(Path p) override { return real().checkResourceIsReachable(p); }
  Error contentsAtPath(Path p) override { return real().contentsAtPath(p); }
  Error contentsOfOwnFileAtPath(Path p) override { return real().contentsOfOwnFileAtPath(p); }
  std::vector<std::string> contentsOfDirectoryAtPath(Path p) override {
    return real().contentsOfDirectoryAtPath(p);
  }
  Error writeAtomically(Path p, std::string_view contents) override {
    return failWrite ? "disk full" : real().writeAtomically(p, contents);
  }
  Error removeItemAtPath(Path p) override {
    return failRemove ? "file is locked" : real().removeItemAtPath(p);
  }

 private:
  static platform::NSFileManager& real() { return platform::PosixNSFileManager(); }
  std::filesystem::path home_;
};

// Keeps the system log's entries instead of printing them. Thread-safe.
class RecordingSystemLog : public platform::SystemLog {
 public:
  void Write(std::string_view text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.emplace_back(text);
  }
  std::vector<std::string> lines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

// Records the bash commands instead of running them; each "fails", which
// changes nothing, or, without `launches`, cannot start.
class RecordingTask : public platform::NSTask {
 public:
  bool launches = true;
  platform::TaskOutcome launchAndWait(const std::string& path,
                                      const std::vector<std::string>& args) override {
    EXPECT_EQ(path + " " + args.at(0) + " " + std::to_string(args.size()), "/bin/bash -c 2");
    commands_.Write(args.at(1));
    return {launches, 1, false, launches ? "" : "no bash"};
  }
  std::vector<std::string> commands() const { return commands_.lines(); }

 private:
  RecordingSystemLog commands_;
};

// Everything the input handler touches, simulated or moved into a temporary
// folder: `home()` is the user's home, the desktop's journal records the hot
// key, corner and delegate effects, `task` records the shell commands and
// `host` the log lines.
class Lockdown {
 public:
  explicit Lockdown(const std::string& scenario = "{}")
      : desktop_(scenario),
        files(home()),
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
    if (!in) return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }
  // The root dictionary of a property-list file; null when unreadable.
  static nlohmann::json ReadPlist(const std::filesystem::path& file) {
    auto parsed = platform::LinuxNSPropertyListSerialization().propertyListWithData(
        ReadRaw(file).value_or(""));
    return parsed.plist.value_or(nullptr);
  }

  // The desktop's journal, or only its entries for `call`.
  std::vector<nlohmann::json> Journal(const std::string& call = "") const {
    return call.empty() ? desktop_.Journal() : desktop_.Journal(call);
  }
  // The (id, enabled) pairs passed to the hot key setter, in order.
  std::vector<std::pair<int32_t, bool>> HotKeyCalls() const {
    return Calls<int32_t, bool>("CGSSetSymbolicHotKeyEnabled", "id", "enabled");
  }
  // The (action, corner) pairs passed to the corner function, in order.
  std::vector<std::pair<int32_t, int32_t>> CornerCalls() const {
    return Calls<int32_t, int32_t>("CoreDockSetExposeCornerAction", "action", "corner");
  }

 private:
  template <typename A, typename B>
  std::vector<std::pair<A, B>> Calls(const std::string& call, const char* a, const char* b) const {
    std::vector<std::pair<A, B>> calls;
    for (const auto& entry : Journal(call)) calls.emplace_back(entry["args"][a], entry["args"][b]);
    return calls;
  }

  TestDesktop desktop_;

 public:
  TestFileManager files;
  RecordingTask task;
  platform::sim::SimPrivateFunctions bundles;
  platform::sim::SimNotificationCenter center;
  platform::sim::SimBundle bundle;
  RecordingSystemLog systemLog;
  ScopedRecordingHost host;

 private:
  platform::ScopedOverride<platform::NSFileManager> use_files_{&files};
  platform::ScopedOverride<platform::NSTask> use_task_{&task};
  platform::ScopedOverride<platform::CFBundles> use_bundles_{&bundles};
  platform::ScopedOverride<platform::NSUserNotificationCenter> use_center_{&center};
  platform::ScopedOverride<platform::NSBundle> use_bundle_{&bundle};
  platform::ScopedOverride<platform::SystemLog> use_system_log_{&systemLog};
};

// The hot keys (id -> enabled) and corners (-1 - corner -> action) as the
// journal leaves them, starting from `state`.
using DesktopState = std::map<int32_t, int32_t>;

inline DesktopState Replay(DesktopState state, const std::vector<nlohmann::json>& journal) {
  for (const nlohmann::json& entry : journal) {
    const nlohmann::json& args = entry["args"];
    if (entry["call"] == "CGSSetSymbolicHotKeyEnabled") state[args["id"]] = args["enabled"] ? 1 : 0;
    if (entry["call"] == "CoreDockSetExposeCornerAction")
      state[-1 - args["corner"].get<int32_t>()] = args["action"];
  }
  return state;
}

// A scenario whose hot keys are as in `state`, for the host "ExamHost".
inline nlohmann::json Scenario(const DesktopState& state) {
  std::vector<int32_t> off;
  for (int32_t id = 0; id < 256; ++id) {
    if (state.count(id) != 0 && state.at(id) == 0) off.push_back(id);
  }
  return {{"currentApplication", {{"bundleName", "ExamHost"}}},
          {"symbolicHotKeys", {{"disabled", off}}}};
}

// Captures standard output while alive; `Lines()` ends the capture.
class CapturedStdout {
 public:
  CapturedStdout() { ::testing::internal::CaptureStdout(); }
  ~CapturedStdout() {
    if (!done_) ::testing::internal::GetCapturedStdout();
  }
  std::vector<std::string> Lines() {
    done_ = true;
    std::istringstream in(::testing::internal::GetCapturedStdout());
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

 private:
  bool done_ = false;
};

}  // namespace osxnatives::testing

#endif  // OSXNATIVES_TESTS_INPUT_LOCKDOWN_SUPPORT_H_
