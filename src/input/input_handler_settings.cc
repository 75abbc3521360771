// The hot corner and symbolic hot key operations of InputHandlerSwift, and the
// settings file they keep.
#include <charconv>
#include <cmath>
#include <limits>

#include "common/host.h"
#include "input/console.h"
#include "input/input_handler_swift.h"
#include "input/settings_record.h"
#include "platform/cf_bundle.h"
#include "platform/ns_bundle.h"
#include "platform/ns_file_manager.h"
#include "platform/ns_log.h"
#include "platform/ns_property_list_serialization.h"

namespace osxnatives {
namespace {

constexpr char kProbeName[] = "CGSIsSymbolicHotKeyEnabled";
constexpr char kSetterName[] = "CGSSetSymbolicHotKeyEnabled";
constexpr char kCornerName[] = "CoreDockSetExposeCornerAction";

// The dictionary's text form: ["key": value, …], or [:] when empty. Corner
// keys come first, in corner order.
std::string Describe(const PlistIO::Dictionary& dict) {
  if (dict.empty()) {
    return "[:]";
  }
  std::string text = "[";
  bool first = true;
  auto add = [&](const std::string& key, const nlohmann::json& value) {
    if (!first) {
      text += ", ";
    }
    first = false;
    text += "\"" + key + "\": " + (value.is_string() ? value.get<std::string>() : value.dump());
  };
  for (std::string_view key : InputHandlerSwift::HOT_CORNER_KEYS) {
    auto it = dict.find(key);
    if (it != dict.end()) {
      add(std::string(key), *it);
    }
  }
  for (const auto& [key, value] : dict.items()) {
    bool corner = false;
    for (std::string_view known : InputHandlerSwift::HOT_CORNER_KEYS) {
      corner |= key == known;
    }
    if (!corner) {
      add(key, value);
    }
  }
  return text + "]";
}

// The ids 0-255 that `probe` reports enabled, 15 and 27 left out, as text.
std::vector<std::string> EnabledHotKeys(const std::optional<platform::BundleFunction>& probe) {
  std::vector<std::string> entries;
  for (int32_t id = 0; id < InputHandlerSwift::kHotKeyIdCount; ++id) {
    if (!probe || (*probe)(id, 0) == 0) {
      continue;
    }
    if (id == InputHandlerSwift::SWITCH_WINDOW_HOT_KEY || id == InputHandlerSwift::ZOOM_HOT_KEY) {
      continue;
    }
    entries.push_back(std::to_string(id));
  }
  return entries;
}

std::string JoinIds(const std::vector<std::string>& ids) {
  std::string list;
  for (const std::string& id : ids) {
    if (!list.empty()) {
      list.push_back(',');
    }
    list += id;
  }
  return list;
}

// The dictionary at the root of the property list at home + `relativePath`;
// a file that is no property list is printed only when `report`.
std::optional<PlistIO::Dictionary> ReadHomeDictionary(const std::string& relativePath,
                                                      bool report) {
  auto& files = platform::Get<platform::NSFileManager>();
  std::string path = files.NSHomeDirectory();
  while (!path.empty() && path.back() == '/') {
    path.pop_back();
  }
  if (relativePath.empty() || relativePath.front() != '/') {
    path.push_back('/');
  }
  path += relativePath;
  std::optional<std::string> bytes = files.contentsAtPath(path);
  if (!bytes) {
    return std::nullopt;
  }
  platform::PropertyListResult parsed =
      platform::Get<platform::NSPropertyListSerialization>().propertyListWithData(*bytes);
  if (!parsed.plist) {
    if (report) {
      PrintLine("Error reading plist: " + parsed.error);
    }
    return std::nullopt;
  }
  if (!parsed.plist->is_object()) {
    return std::nullopt;
  }
  return std::move(*parsed.plist);
}

}  // namespace

std::optional<std::string> InputHandlerSwift::hostBundleName() {
  nlohmann::json info = platform::Get<platform::NSBundle>().infoDictionary();
  if (!info.is_object()) {
    return std::nullopt;
  }
  auto it = info.find("CFBundleName");
  if (it == info.end() || !it->is_string()) {
    return std::nullopt;
  }
  return it->get<std::string>();
}

std::shared_ptr<PlistIO> InputHandlerSwift::settingsFileFor(
    const std::optional<std::string>& bundleName) {
  return PlistIO::init(SETTINGS_FILE, std::string(kSettingsFolder), bundleName);
}

std::optional<std::string> InputHandlerSwift::bundleNameProblem(std::string_view name) {
  constexpr size_t kMaxFileNameBytes = 255;
  if (name.find('/') != std::string_view::npos) {
    return "it holds a \"/\"";
  }
  if (name.find('\0') != std::string_view::npos) {
    return "it holds a NUL character";
  }
  if (name == "." || name == "..") {
    return "it is \"" + std::string(name) + "\"";
  }
  if (name.find_first_not_of(" \t\n\r\v\f") == std::string_view::npos) {
    return "it is empty";
  }
  if (name.size() > kMaxFileNameBytes) {
    return "it is longer than 255 bytes";
  }
  return std::nullopt;
}

std::shared_ptr<PlistIO> InputHandlerSwift::createPlistIO() {
  std::optional<std::string> name = hostBundleName();
  if (name) {
    if (std::optional<std::string> problem = bundleNameProblem(*name)) {
      PrintLine("ERROR: The bundle name cannot be the settings folder (" + *problem +
                "); using the Trevant folder itself");
      name.reset();
    }
  }
  return settingsFileFor(name);
}

bool InputHandlerSwift::writeAheadRecord(const std::filesystem::path& settingsFile,
                                         PlistIO::Dictionary& current) {
  if (SettingsRecord::Adopt(settingsFile)) {
    return true;
  }
  // Nothing complete on disk: record the desktop as it is before any change.
  if (std::optional<PlistIO::Dictionary> dock = ReadHomeDictionary(kDockPreferences, false)) {
    for (std::string_view key : HOT_CORNER_KEYS) {
      current[std::string(key)] = cornerValue(&*dock, std::string(key));
    }
  }
  std::optional<platform::BundleFunction> probe;
  if (std::unique_ptr<platform::CFBundleRef> bundle =
          platform::Get<platform::CFBundles>().CFBundleCreate(pathToCoreGraphicsBundle_)) {
    bundle->CFBundleLoadExecutable();
    probe = bundle->CFBundleGetFunctionPointerForName(kProbeName);
  }
  current[HOTKEYS_KEY] = JoinIds(EnabledHotKeys(probe));
  return SettingsRecord::WriteAhead(settingsFile, current);
}

void InputHandlerSwift::saveUserSettingsAndDisable() {
  std::shared_ptr<PlistIO> plistIO = createPlistIO();
  const bool owner = !settingsHeldElsewhere_;
  PlistIO::Dictionary recorded = PlistIO::Dictionary::object();
  bool saved = owner && plistIO && plistIO->url() && writeAheadRecord(*plistIO->url(), recorded);
  const std::string disabled = applySymbolicHotKeys(std::nullopt);
  // A file left by an earlier lockdown holds the user's real settings; what
  // the desktop shows now is the locked state, so it is never overwritten.
  // Neither is the file of a lockdown that holds the settings lock now.
  const bool kept =
      !owner ||
      (plistIO && plistIO->url() &&
       platform::Get<platform::NSFileManager>().checkResourceIsReachable(plistIO->url()->string()));
  if (!kept) {
    PlistIO::Dictionary settings = PlistIO::Dictionary::object();
    collectHotCornerSettings(settings);
    // The Dock preferences were read moments ago for the record; when this
    // second read fails, the corners found then are the user's all the same.
    if (settings.empty()) {
      settings = recorded;
      settings.erase(HOTKEYS_KEY);
    }
    Log("Hot corner settings found at startup: " + compactDescription(Describe(settings)).value(),
        "INFO");
    settings[HOTKEYS_KEY] = disabled;
    if (plistIO && plistIO->write(settings)) {
      saved = true;
    }
  }
  updateHotCornerSettings(PlistIO::Dictionary::object());
  lockedDownWithoutRecord_ = !owner;
  if (owner && !saved) {
    platform::NSLog(
        "The hot corners and hot keys are disabled for the lockdown, but no copy of the user's "
        "settings could be saved" +
        (plistIO && plistIO->url() ? " in " + plistIO->url()->parent_path().string()
                                   : std::string()) +
        "; the unlock cannot restore them");
  }
}

void InputHandlerSwift::restoreUserSettings() {
  if (settingsHeldElsewhere_) {
    return;  // the live holder's file: not ours to restore or delete
  }
  std::shared_ptr<PlistIO> plistIO = createPlistIO();
  if (lockedDownWithoutRecord_ && plistIO && plistIO->url() &&
      !SettingsRecord::Best(*plistIO->url())) {
    return;  // nothing of ours, and nobody left anything to restore
  }
  restoreUserSettingsFrom(plistIO.get());
}

void InputHandlerSwift::restoreUserSettingsFrom(PlistIO* plistIO) {
  if (plistIO == nullptr) {
    PrintLine("Failed to read user settings.");
    return;
  }
  // A complete file is read as it is. `read` would first write an empty file
  // when it finds none, and a check for the file that fails (an I/O error)
  // must not replace the user's settings with that.
  // With no file at all, a complete copy that could not be made the file
  // (the write failed) is restored from as it is.
  auto& files = platform::Get<platform::NSFileManager>();
  std::optional<PlistIO::Dictionary> saved;
  bool fromCopy = false;
  if (plistIO->url()) {
    const std::filesystem::path& url = *plistIO->url();
    if (SettingsRecord::Adopt(url)) {
      saved = SettingsRecord::Read(url);
    } else if (std::optional<SettingsRecord::Found> copy = SettingsRecord::Best(url);
               copy && copy->file != url && !files.fileExistsAtPath(url.string())) {
      saved = std::move(copy->settings);
      fromCopy = true;
    }
  }
  if (!saved) {
    saved = plistIO->read();
  }
  if (!saved) {
    PrintLine("Failed to read user settings.");
    return;
  }
  updateHotCornerSettings(*saved);
  if (!saved->empty()) {
    auto it = saved->find(HOTKEYS_KEY);
    if (it != saved->end() && it->is_string()) {
      applySymbolicHotKeys(it->get<std::string>());
    }
  }
  if (!plistIO->url()) {
    PrintLine("plistIO or its URL is nil; cannot remove item.");
    return;
  }
  // The copies go first: a settings file outliving them is restored again,
  // which is harmless; a copy outliving the file would be adopted later.
  SettingsRecord::RemoveLeftovers(*plistIO->url());
  if (fromCopy) {
    return;  // there is no file to remove
  }
  if (auto error = files.removeItemAtPath(plistIO->url()->string())) {
    PrintLine("Error removing plist file: " + *error);
  }
}

void InputHandlerSwift::updateHotCornerSettings(const PlistIO::Dictionary& dict) {
  std::unique_ptr<platform::CFBundleRef> bundle =
      platform::Get<platform::CFBundles>().CFBundleCreate(platform::kHIServicesBundlePath);
  if (!bundle) {
    return;
  }
  bundle->CFBundleLoadExecutable();
  std::optional<platform::BundleFunction> setCorner =
      bundle->CFBundleGetFunctionPointerForName(kCornerName);
  if (!setCorner) {
    PrintLine("Function pointer not found");
    return;
  }
  for (int32_t corner = 0; corner < 4; ++corner) {
    (*setCorner)(cornerActionFor(dict, HOT_CORNER_KEYS[static_cast<size_t>(corner)]), corner);
  }
}

int32_t InputHandlerSwift::cornerActionFor(const PlistIO::Dictionary& dict, std::string_view key) {
  if (!dict.is_object()) {
    return 0;
  }
  auto it = dict.find(key);
  if (it == dict.end()) {
    return 0;
  }
  constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
  constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
  if (it->is_boolean()) {
    return it->get<bool>() ? 1 : 0;
  }
  if (it->is_number_unsigned()) {
    return it->get<uint64_t>() <= static_cast<uint64_t>(kMax)
               ? static_cast<int32_t>(it->get<uint64_t>())
               : 0;
  }
  if (it->is_number_integer()) {
    const int64_t value = it->get<int64_t>();
    return value >= kMin && value <= kMax ? static_cast<int32_t>(value) : 0;
  }
  if (it->is_number_float()) {
    const double value = it->get<double>();
    if (std::isfinite(value) && value == std::trunc(value) && value >= static_cast<double>(kMin) &&
        value <= static_cast<double>(kMax)) {
      return static_cast<int32_t>(value);
    }
  }
  return 0;
}

std::optional<std::string> InputHandlerSwift::compactDescription(
    const std::optional<std::string>& text) {
  if (!text) {
    return std::nullopt;
  }
  std::string compact;
  for (char c : *text) {
    if (c == ' ') {
      continue;
    }
    compact.push_back(c == '\n' ? ' ' : c);
  }
  return compact;
}

std::vector<std::string> InputHandlerSwift::hotKeyListEntries(std::string_view list) {
  std::vector<std::string> entries;
  for (;;) {
    const size_t comma = list.find(',');
    entries.emplace_back(list.substr(0, comma));
    if (comma == std::string_view::npos) {
      return entries;
    }
    list.remove_prefix(comma + 1);
  }
}

std::optional<int32_t> InputHandlerSwift::hotKeyId(std::string_view entry) {
  std::string_view digits = entry;
  if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
    digits.remove_prefix(1);
  }
  if (digits.empty()) {
    return std::nullopt;
  }
  for (char c : digits) {
    if (c < '0' || c > '9') {
      return std::nullopt;
    }
  }
  // from_chars takes "-" but not "+".
  if (entry.front() == '+') {
    entry.remove_prefix(1);
  }
  int64_t value = 0;
  auto [end, error] = std::from_chars(entry.data(), entry.data() + entry.size(), value);
  if (error != std::errc() || end != entry.data() + entry.size()) {
    return std::nullopt;
  }
  // The setter takes a 32-bit id: a larger one names no hot key and is
  // skipped, like any other entry that is not an id.
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<int32_t>(value);
}

std::string InputHandlerSwift::applySymbolicHotKeys(const std::optional<std::string>& list) {
  std::unique_ptr<platform::CFBundleRef> bundle =
      platform::Get<platform::CFBundles>().CFBundleCreate(pathToCoreGraphicsBundle_);
  if (!bundle) {
    PrintLine("Failed to create bundle reference.");
    return "";
  }
  const bool loaded = bundle->CFBundleLoadExecutable();
  Log(std::string("Did we load the core graphics bundle? ") + (loaded ? "true" : "false"), "INFO");
  std::optional<platform::BundleFunction> setter =
      bundle->CFBundleGetFunctionPointerForName(kSetterName);
  std::optional<platform::BundleFunction> probe =
      bundle->CFBundleGetFunctionPointerForName(kProbeName);

  std::vector<std::string> entries;
  std::string result;
  bool enabled = false;
  if (!list) {
    entries = EnabledHotKeys(probe);
    result = JoinIds(entries);
  } else {
    entries = hotKeyListEntries(*list);
    enabled = true;
  }
  Log("Setting " + std::to_string(entries.size()) +
          " HotKeys to enabled-status: " + (enabled ? "true" : "false"),
      "INFO");
  for (const std::string& entry : entries) {
    std::optional<int32_t> id = hotKeyId(entry);
    if (!id || !setter) {
      continue;
    }
    (*setter)(*id, enabled ? 1 : 0);
  }
  return result;
}

void InputHandlerSwift::collectHotCornerSettings(PlistIO::Dictionary& settings) {
  std::optional<PlistIO::Dictionary> dock = readHomePlist(std::string(kDockPreferences));
  if (!dock) {
    return;
  }
  for (std::string_view key : HOT_CORNER_KEYS) {
    settings[std::string(key)] = cornerValue(&*dock, std::string(key));
  }
}

std::optional<PlistIO::Dictionary> InputHandlerSwift::readHomePlist(
    const std::optional<std::string>& relativePath) {
  if (!relativePath) {
    return std::nullopt;
  }
  return ReadHomeDictionary(*relativePath, true);
}

int64_t InputHandlerSwift::cornerValue(const PlistIO::Dictionary* dict,
                                       const std::optional<std::string>& key) {
  if (dict == nullptr || !dict->is_object()) {
    return 0;
  }
  auto it = dict->find(key.value_or(""));
  if (it == dict->end()) {
    return 0;
  }
  if (it->is_boolean()) {
    return it->get<bool>() ? 1 : 0;
  }
  if (it->is_number_unsigned()) {
    return static_cast<int64_t>(it->get<uint64_t>());
  }
  if (it->is_number_integer()) {
    return it->get<int64_t>();
  }
  if (it->is_number_float()) {
    const double value = it->get<double>();
    // Truncated like NSNumber's integer value; beyond 64 bits it names no
    // action at all.
    if (!std::isfinite(value) || value <= -9.2e18 || value >= 9.2e18) {
      return 0;
    }
    return static_cast<int64_t>(value);
  }
  return 0;
}

}  // namespace osxnatives
