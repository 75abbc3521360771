#include "input/settings_record.h"

#include <algorithm>
#include <string>
#include <vector>

#include "input/input_handler_swift.h"
#include "platform/ns_file_manager.h"
#include "platform/ns_property_list_serialization.h"

namespace osxnatives {
namespace {

namespace fs = std::filesystem;

// The atomic writer's temporary name for `name` is "." + name + "." and six
// characters.
constexpr size_t kTemporarySuffixLength = 6;

bool IsTemporaryOf(const std::string& entry, const std::string& name) {
  const std::string prefix = "." + name + ".";
  return entry.size() == prefix.size() + kTemporarySuffixLength && entry.rfind(prefix, 0) == 0;
}

// Temporary files of the settings file's writer (`of` the settings file) or
// of every writer in the folder, sorted by name.
std::vector<fs::path> Temporaries(const fs::path& settingsFile, bool everyWriter) {
  const fs::path folder = settingsFile.parent_path();
  const std::string name = settingsFile.filename().string();
  std::vector<fs::path> found;
  for (const std::string& entry :
       platform::Get<platform::NSFileManager>().contentsOfDirectoryAtPath(folder.string())) {
    if (IsTemporaryOf(entry, name) ||
        (everyWriter && IsTemporaryOf(entry, SettingsRecord::kWriteAheadName))) {
      found.push_back(folder / entry);
    }
  }
  std::sort(found.begin(), found.end());
  return found;
}

fs::path WriteAheadOf(const fs::path& settingsFile) {
  return settingsFile.parent_path() / SettingsRecord::kWriteAheadName;
}

std::optional<SettingsRecord::Found> CompleteLeftover(const fs::path& settingsFile) {
  std::vector<fs::path> candidates = {WriteAheadOf(settingsFile)};
  for (fs::path& temporary : Temporaries(settingsFile, false)) {
    candidates.push_back(std::move(temporary));
  }
  for (fs::path& file : candidates) {
    std::optional<PlistIO::Dictionary> settings = SettingsRecord::Read(file);
    if (settings && SettingsRecord::Complete(*settings)) {
      return SettingsRecord::Found{std::move(file), std::move(*settings)};
    }
  }
  return std::nullopt;
}

bool WriteSettings(const fs::path& file, const PlistIO::Dictionary& settings) {
  const std::string xml =
      platform::Get<platform::NSPropertyListSerialization>().xmlDataWithPropertyList(settings);
  return !platform::Get<platform::NSFileManager>().writeAtomically(file.string(), xml);
}

}  // namespace

std::optional<PlistIO::Dictionary> SettingsRecord::Read(const fs::path& file) {
  std::optional<std::string> bytes =
      platform::Get<platform::NSFileManager>().contentsOfOwnFileAtPath(file.string());
  if (!bytes) {
    return std::nullopt;
  }
  platform::PropertyListResult parsed =
      platform::Get<platform::NSPropertyListSerialization>().propertyListWithData(*bytes);
  if (!parsed.plist || !parsed.plist->is_object()) {
    return std::nullopt;
  }
  return std::move(*parsed.plist);
}

bool SettingsRecord::Complete(const PlistIO::Dictionary& settings) {
  auto it = settings.find(InputHandlerSwift::HOTKEYS_KEY);
  return it != settings.end() && it->is_string();
}

std::optional<SettingsRecord::Found> SettingsRecord::Best(const fs::path& settingsFile) {
  std::optional<PlistIO::Dictionary> settings = Read(settingsFile);
  if (settings && Complete(*settings)) {
    return Found{settingsFile, std::move(*settings)};
  }
  if (std::optional<Found> leftover = CompleteLeftover(settingsFile)) {
    return leftover;
  }
  if (settings) {
    return Found{settingsFile, std::move(*settings)};
  }
  return std::nullopt;
}

bool SettingsRecord::Adopt(const fs::path& settingsFile) {
  std::optional<PlistIO::Dictionary> settings = Read(settingsFile);
  if (settings && Complete(*settings)) {
    return true;
  }
  std::optional<Found> leftover = CompleteLeftover(settingsFile);
  return leftover && WriteSettings(settingsFile, leftover->settings);
}

bool SettingsRecord::WriteAhead(const fs::path& settingsFile, const PlistIO::Dictionary& settings) {
  return WriteSettings(WriteAheadOf(settingsFile), settings);
}

void SettingsRecord::RemoveLeftovers(const fs::path& settingsFile) {
  auto& files = platform::Get<platform::NSFileManager>();
  std::vector<fs::path> leftovers = Temporaries(settingsFile, true);
  leftovers.push_back(WriteAheadOf(settingsFile));
  for (const fs::path& file : leftovers) {
    files.removeItemAtPath(file.string());  // an absent record is no failure
  }
}

bool SettingsRecord::HasLeftovers(const fs::path& settingsFile) {
  // Asked two ways, so that one failed call does not hide the record.
  auto& files = platform::Get<platform::NSFileManager>();
  if (files.fileExistsAtPath(WriteAheadOf(settingsFile).string())) {
    return true;
  }
  const std::string name = settingsFile.filename().string();
  for (const std::string& entry :
       files.contentsOfDirectoryAtPath(settingsFile.parent_path().string())) {
    if (entry == kWriteAheadName || IsTemporaryOf(entry, name) ||
        IsTemporaryOf(entry, kWriteAheadName)) {
      return true;
    }
  }
  return false;
}

}  // namespace osxnatives
