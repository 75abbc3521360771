// osxnatives-recover: brings the user's desktop back after a lockdown that
// never ended (the browser crashed or was killed during an exam).
//
// It performs the unlock of the input handler for every settings file a
// lockdown left behind, through the library's own classes: restore the hot
// corners and hot keys from the file and delete it, run the four unlock
// commands, release the displays. A lockdown killed before its settings file
// was complete left a copy instead (its write-ahead record, or the settings
// writer's complete temporary file): that copy is restored the same way. It takes the settings lock
// first, so it never runs at the same time as a lockdown, an unlock or another copy of itself; a
// running exam holds that lock for its whole length.
#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "checks/display_handler_swift.h"
#include "common/host.h"
#include "input/console.h"
#include "input/input_handler_swift.h"
#include "input/settings_lock.h"
#include "input/settings_record.h"

namespace osxnatives::recover {
namespace {

namespace fs = std::filesystem;

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr long kDefaultWaitSeconds = 10;

constexpr char kUsageText[] =
    R"(Usage: osxnatives-recover [--bundle-name NAME] [--dry-run] [--wait SECONDS]
       osxnatives-recover --help | --version

Brings the desktop back after the exam browser ended during a lockdown
(crash, force quit, power loss): restores the hot corners and symbolic hot
keys saved in each Settings.plist that a lockdown left under
"Application Support/Trevant", deletes the file, turns the notification
centre back on and releases the displays.

Options:
  --bundle-name NAME  only the settings of the host whose bundle name is NAME
                      (Trevant/NAME/Settings.plist)
  --dry-run           print what would be restored and run; change nothing
  --wait SECONDS      how long to wait for a lockdown, an unlock or another
                      osxnatives-recover that holds the settings lock
                      (default 10)
  --help              print this text and exit
  --version           print the version and exit

Exit status:
  0  everything found was restored, or there was nothing to do
  1  a settings file could not be read or removed (it stays on disk), or the
     settings lock stayed held (a lockdown may be running; nothing changed)
  2  bad usage
)";

// Log lines of the library, in plain words on standard output.
class ConsoleHost : public HostCallbacks {
 public:
  void Log(std::string_view message, std::string_view level) override {
    if (level == "INFO") {
      PrintLine(message);
    } else {
      PrintLine(std::string(level == "error" ? "ERROR" : level) + ": " + std::string(message));
    }
  }
  void NavigateToUrl(std::string_view /*url*/) override {}
  void CloseRequest() override {}
};

struct Options {
  std::optional<std::string> bundleName;
  bool dryRun = false;
  std::chrono::milliseconds wait{kDefaultWaitSeconds * 1000};
};

// A settings file a lockdown left, or copies of one (SettingsRecord):
// `bundleName` absent for the one directly in "Trevant".
struct Found {
  std::optional<std::string> bundleName;
  fs::path path;
};

std::string HostName(const Found& found) {
  return found.bundleName ? *found.bundleName : std::string("(no bundle name)");
}

int UsageError(const std::string& problem) {
  std::cerr << "osxnatives-recover: " << problem << "\n"
            << "Try 'osxnatives-recover --help'.\n";
  return kUsage;
}

// Parses the command line; returns an exit status when the program should
// stop at once (help, version, bad usage).
std::optional<int> Parse(const std::vector<std::string_view>& args, Options& options) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsageText;
      return kDone;
    }
    if (arg == "--version") {
      std::cout << "osxnatives-recover " << OSXNATIVES_VERSION << "\n";
      return kDone;
    }
    if (arg == "--dry-run") {
      options.dryRun = true;
    } else if (arg == "--bundle-name" || arg == "--wait") {
      if (i + 1 == args.size()) {
        return UsageError(std::string(arg) + " needs a value");
      }
      const std::string_view value = args[++i];
      if (arg == "--bundle-name") {
        if (InputHandlerSwift::bundleNameProblem(value)) {
          return UsageError("not a bundle name: '" + std::string(value) + "'");
        }
        options.bundleName = std::string(value);
      } else {
        long seconds = -1;
        auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seconds);
        if (error != std::errc() || end != value.data() + value.size() || seconds < 0 ||
            seconds > 3600) {
          return UsageError("--wait takes whole seconds from 0 to 3600, not '" +
                            std::string(value) + "'");
        }
        options.wait = std::chrono::seconds(seconds);
      }
    } else {
      return UsageError("unknown argument '" + std::string(arg) + "'");
    }
  }
  return std::nullopt;
}

// The settings files below `folder`: the one directly in it first, then one
// per host bundle folder, by name.
std::vector<Found> FindSettings(const fs::path& folder, const std::optional<std::string>& only) {
  std::vector<Found> found;
  std::error_code error;
  auto add = [&](std::optional<std::string> name, const fs::path& dir) {
    fs::path file = dir / InputHandlerSwift::SETTINGS_FILE;
    if (fs::exists(fs::symlink_status(file, error)) || SettingsRecord::HasLeftovers(file)) {
      found.push_back({std::move(name), std::move(file)});
    }
  };
  if (only) {
    add(only, folder / *only);
    return found;
  }
  add(std::nullopt, folder);
  std::vector<std::string> names;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    if (it->is_directory(error)) {
      names.push_back(it->path().filename().string());
    }
  }
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    add(name, folder / name);
  }
  return found;
}

// The corners in the order of HOT_CORNER_KEYS, in words.
constexpr std::array<std::string_view, 4> kCornerNames = {"top left", "top right", "bottom left",
                                                          "bottom right"};

// What restoring `found` would do, without doing it. False when the file
// cannot be read (the read prints why).
bool Preview(const Found& found) {
  std::optional<SettingsRecord::Found> best = SettingsRecord::Best(found.path);
  if (!best) {
    PrintLine("Would leave " + found.path.string() + " on disk: it cannot be read.");
    return false;
  }
  const PlistIO::Dictionary* saved = &best->settings;
  PrintLine("Would restore " + HostName(found) + " from " + best->file.string() + ":");
  std::string corners = "  hot corner actions:";
  for (size_t i = 0; i < kCornerNames.size(); ++i) {
    corners += std::string(i == 0 ? " " : ", ") + std::string(kCornerNames[i]) + " " +
               std::to_string(InputHandlerSwift::cornerActionFor(
                   *saved, InputHandlerSwift::HOT_CORNER_KEYS[i]));
  }
  PrintLine(corners);
  auto list = saved->find(InputHandlerSwift::HOTKEYS_KEY);
  if (saved->empty() || list == saved->end() || !list->is_string()) {
    PrintLine("  hot keys to enable: none (no hot key list saved)");
  } else {
    std::string ids;
    std::string skipped;
    for (const std::string& entry :
         InputHandlerSwift::hotKeyListEntries(list->get<std::string>())) {
      std::string& into = InputHandlerSwift::hotKeyId(entry) ? ids : skipped;
      into += (into.empty() ? "" : ",") + entry;
    }
    PrintLine("  hot keys to enable: " + (ids.empty() ? std::string("none") : ids));
    if (!skipped.empty()) {
      PrintLine("  entries that are not hot key ids, skipped: \"" + skipped + "\"");
    }
  }
  PrintLine("  then delete " + found.path.string() + " and the copies beside it");
  return true;
}

int Run(const Options& options) {
  auto where = SettingsLock::folder();
  if (const auto* error = std::get_if<std::string>(&where)) {
    PrintLine("Cannot find the Application Support folder: " + *error);
    return kFailed;
  }
  const fs::path folder = std::get<fs::path>(where);
  std::error_code error;
  if (!fs::is_directory(folder, error)) {
    PrintLine("No lockdown left anything to restore (" + folder.string() +
              " does not exist). Nothing to do.");
    return kDone;
  }

  PrintLine("Taking the settings lock in " + folder.string());
  SettingsLock::Result lock = SettingsLock::acquire(options.wait);
  if (const auto* failure = std::get_if<platform::FolderLockFailure>(&lock)) {
    if (failure->busy) {
      PrintLine("The settings are in use by " +
                (failure->holder.empty() ? std::string("another process") : failure->holder) +
                ": an exam lockdown may be running, or another recovery. Nothing was changed.");
    } else {
      PrintLine("Cannot lock the settings folder: " + failure->error + ". Nothing was changed.");
    }
    return kFailed;
  }

  const std::vector<Found> found = FindSettings(folder, options.bundleName);
  if (found.empty()) {
    PrintLine("No settings file left by a lockdown" +
              (options.bundleName ? " of " + *options.bundleName : std::string()) +
              ". Nothing to do.");
    return kDone;
  }

  int status = kDone;
  if (options.dryRun) {
    for (const Found& each : found) {
      if (!Preview(each)) {
        status = kFailed;
      }
    }
    PrintLine("Would turn the notification centre back on with:");
    for (const char* command : InputHandlerSwift::kUnlockCommands) {
      PrintLine(std::string("  ") + command);
    }
    PrintLine("Would release the displays. Dry run: nothing was changed.");
    return status;
  }

  InputHandlerSwift handler(true);
  for (const Found& each : found) {
    PrintLine("Restoring the hot corners and hot keys of " + HostName(each) + " from " +
              each.path.string());
    std::shared_ptr<PlistIO> io = InputHandlerSwift::settingsFileFor(each.bundleName);
    if (io && !SettingsRecord::Adopt(each.path) &&
        !fs::exists(fs::symlink_status(each.path, error))) {
      // Nothing complete to restore from, only unfinished copies.
      SettingsRecord::RemoveLeftovers(each.path);
      PrintLine("Nothing to restore for " + HostName(each) +
                "; removed the unfinished files a lockdown left.");
      continue;
    }
    handler.restoreUserSettingsFrom(io.get());
    if (fs::exists(fs::symlink_status(each.path, error))) {
      PrintLine("Could not finish with " + each.path.string() + "; it stays on disk.");
      status = kFailed;
    } else {
      PrintLine("Restored " + HostName(each) + " and removed its settings file.");
    }
  }
  PrintLine("Turning the notification centre back on.");
  handler.runUnlockCommands();
  PrintLine("Releasing the displays.");
  DisplayHandlerSwift().releaseDisplay();
  PrintLine(status == kDone ? "Done: the desktop is back as it was before the lockdown."
                            : "Done, but some settings could not be restored (see above).");
  return status;
}

}  // namespace
}  // namespace osxnatives::recover

int main(int argc, char** argv) {
  using namespace osxnatives::recover;  // NOLINT(google-build-using-namespace)
  try {
    std::vector<std::string_view> args(argv + 1, argv + argc);
    Options options;
    if (std::optional<int> status = Parse(args, options)) {
      return *status;
    }
    ConsoleHost host;
    osxnatives::ScopedHost installed(&host);
    return Run(options);
  } catch (const std::exception& error) {
    // Out of memory and the like: nothing the tool could finish safely.
    std::fprintf(stderr, "osxnatives-recover: %s\n", error.what());
    return 1;
  } catch (...) {
    std::fputs("osxnatives-recover: unexpected failure\n", stderr);
    return 1;
  }
}
