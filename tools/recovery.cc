// The recovery tool's work, apart from its main so that tests can run it in
// their own process.
#include "tools/recovery.h"

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
#include "platform/ns_file_manager.h"

namespace osxnatives::recover {
namespace {

namespace fs = std::filesystem;

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
  1  a settings file could not be read or removed (it stays on disk), the
     settings folder could not be listed, or the settings lock stayed held
     (a lockdown may be running; nothing changed)
  2  bad usage
)";

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

}  // namespace

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

namespace {

// True when something (a file, a link, anything) has the name of `file`.
bool Present(const fs::path& file) {
  const std::vector<std::string> names =
      platform::Get<platform::NSFileManager>().contentsOfDirectoryAtPath(
          file.parent_path().string());
  return std::find(names.begin(), names.end(), file.filename().string()) != names.end();
}

// The settings files below `folder`: the one directly in it first, then one
// per host bundle folder, by name. False when `folder` could not be listed.
bool FindSettings(const fs::path& folder, const std::optional<std::string>& only,
                  std::vector<Found>& found) {
  auto& files = platform::Get<platform::NSFileManager>();
  auto add = [&](std::optional<std::string> name, const fs::path& dir) {
    fs::path file = dir / InputHandlerSwift::SETTINGS_FILE;
    // Asked two ways, so that one failed call does not hide the file.
    if (files.fileExistsAtPath(file.string()) || Present(file) ||
        SettingsRecord::HasLeftovers(file)) {
      found.push_back({std::move(name), std::move(file)});
    }
  };
  if (only) {
    add(only, folder / *only);
    return true;
  }
  add(std::nullopt, folder);
  // Every name is tried as a host folder: one that is no folder lists nothing.
  std::vector<std::string> names = files.contentsOfDirectoryAtPath(folder.string());
  // The lock file held now is always there: a listing without it failed.
  if (std::find(names.begin(), names.end(), platform::FolderLock::kLockFileName) == names.end()) {
    return false;
  }
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    add(name, folder / name);
  }
  return true;
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

}  // namespace

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

  std::vector<Found> found;
  if (!FindSettings(folder, options.bundleName, found)) {
    PrintLine("Cannot list " + folder.string() + "; anything a lockdown left in it stays on disk.");
    return kFailed;
  }
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
    if (io && !SettingsRecord::Adopt(each.path) && !Present(each.path) &&
        !SettingsRecord::Best(each.path)) {
      // Nothing complete to restore from, only unfinished copies.
      SettingsRecord::RemoveLeftovers(each.path);
      PrintLine("Nothing to restore for " + HostName(each) +
                "; removed the unfinished files a lockdown left.");
      continue;
    }
    handler.restoreUserSettingsFrom(io.get());
    if (Present(each.path)) {
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

}  // namespace osxnatives::recover
