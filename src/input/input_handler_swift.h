// InputHandlerSwift: switches the user's desktop shortcuts off for an exam and
// back on afterwards.
//
// `start` saves the user's hot corners and symbolic hot keys in the settings
// file (PlistIO), disables them, and silences the notification centre with
// four shell commands; `stop` restores them from the settings file, deletes
// it, and brings the notification centre back with four other commands.
// `serviceRunning` makes both idempotent. The settings file outlives the
// process: after a crash the next `stop` (of this process or another one)
// restores from it.
//
// Not thread-safe: one thread at a time may call `start`, `stop` and the
// settings operations. All of them block until their commands have exited.
// Lockdown errors are printed on standard output; progress goes to the host
// log.
//
// Reuse from another program (a recovery tool): the settings file of a given
// host bundle name is `settingsFileFor(name)`; `restoreUserSettingsFrom(io)`
// performs exactly the restore of `stop`, `runUnlockCommands()` its commands.
#ifndef OSXNATIVES_INPUT_INPUT_HANDLER_SWIFT_H_
#define OSXNATIVES_INPUT_INPUT_HANDLER_SWIFT_H_

#include <array>
#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "input/plist_io.h"
#include "platform/ns_user_notification_center.h"

namespace osxnatives {

// The platform's internal-inconsistency exception
// (`NSInternalInconsistencyException`). `what()` is "<name>: <reason>".
class InternalInconsistencyException : public std::logic_error {
 public:
  static constexpr char kName[] = "NSInternalInconsistencyException";
  explicit InternalInconsistencyException(const std::string& reason)
      : std::logic_error(std::string(kName) + ": " + reason), reason_(reason) {}
  [[nodiscard]] const std::string& reason() const { return reason_; }

 private:
  std::string reason_;
};

class InputHandlerSwift : public platform::NSUserNotificationCenterDelegate {
 public:
  // NOLINTBEGIN(readability-identifier-naming): the lockdown's own constant names.
  static constexpr char SETTINGS_FILE[] = "Settings.plist";
  static constexpr char TL_CORNER[] = "wvous-tl-corner";
  static constexpr char TR_CORNER[] = "wvous-tr-corner";
  static constexpr char BL_CORNER[] = "wvous-bl-corner";
  static constexpr char BR_CORNER[] = "wvous-br-corner";
  // Corner keys in the order of the corner numbers 0 to 3.
  static constexpr std::array<std::string_view, 4> HOT_CORNER_KEYS = {TL_CORNER, TR_CORNER,
                                                                      BL_CORNER, BR_CORNER};
  static constexpr int64_t ZOOM_HOT_KEY = 15;
  static constexpr int64_t SWITCH_WINDOW_HOT_KEY = 27;
  static constexpr char HOTKEYS_KEY[] = "HotKeys";
  // NOLINTEND(readability-identifier-naming)

  // First folder of the settings file below Application Support.
  static constexpr char kSettingsFolder[] = "Trevant";
  // The Dock preferences, relative to the home folder.
  static constexpr char kDockPreferences[] = "/Library/Preferences/com.apple.dock.plist";
  // Symbolic hot key ids probed at lockdown: 0 to kHotKeyIdCount - 1.
  static constexpr int32_t kHotKeyIdCount = 256;

  // Commands that silence the notification centre, run in this order by
  // `start`. The second sets the Do-Not-Disturb date from the shell's own
  // `date` in UTC.
  static constexpr std::array<const char*, 4> kLockCommands = {
      "defaults -currentHost write ~/Library/Preferences/ByHost/com.apple.notificationcenterui "
      "doNotDisturb -boolean true",
      "defaults -currentHost write ~/Library/Preferences/ByHost/com.apple.notificationcenterui "
      "doNotDisturbDate -date \"`date -u +\"%Y-%m-%d %H:%M:%S +000\"`\"",
      "launchctl unload -w /System/Library/LaunchAgents/com.apple.notificationcenterui.plist",
      "killall NotificationCenter"};
  // Commands that bring it back, run in this order by `stop`.
  static constexpr std::array<const char*, 4> kUnlockCommands = {
      "launchctl load -w /System/Library/LaunchAgents/com.apple.notificationcenterui.plist",
      "open /System/Library/CoreServices/NotificationCenter.app",
      "defaults -currentHost write ~/Library/Preferences/ByHost/com.apple.notificationcenterui "
      "doNotDisturb -boolean false",
      "killall NotificationCenter"};

  // `init(inputDisabled:)`. Records the default notification centre and its
  // current delegate (kept alive until the handler is destroyed). The centre
  // must outlive the handler.
  explicit InputHandlerSwift(bool inputDisabled);
  ~InputHandlerSwift() override = default;
  InputHandlerSwift(const InputHandlerSwift&) = delete;
  InputHandlerSwift& operator=(const InputHandlerSwift&) = delete;

  [[nodiscard]] bool inputDisabled() const { return inputDisabled_; }
  void setInputDisabled(bool value) { inputDisabled_ = value; }
  [[nodiscard]] bool serviceRunning() const { return serviceRunning_; }
  void setServiceRunning(bool value) { serviceRunning_ = value; }
  [[nodiscard]] const std::string& pathToCoreGraphicsBundle() const {
    return pathToCoreGraphicsBundle_;
  }
  void setPathToCoreGraphicsBundle(std::string path) {
    pathToCoreGraphicsBundle_ = std::move(path);
  }
  [[nodiscard]] platform::NSUserNotificationCenter& notificationCenter() const {
    return *notificationCenter_;
  }
  void setNotificationCenter(platform::NSUserNotificationCenter& center) {
    notificationCenter_ = &center;
  }
  [[nodiscard]] bool wasNotificationCenterRunning() const { return wasNotificationCenterRunning_; }
  void setWasNotificationCenterRunning(bool value) { wasNotificationCenterRunning_ = value; }
  [[nodiscard]] const std::shared_ptr<platform::NSUserNotificationCenterDelegate>&
  originalDelegate() const {
    return originalDelegate_;
  }
  void setOriginalDelegate(std::shared_ptr<platform::NSUserNotificationCenterDelegate> delegate) {
    originalDelegate_ = std::move(delegate);
  }

  // Locks the desktop down once: saves and disables hot keys and corners,
  // runs kLockCommands, logs "Notification center disabled". Does nothing
  // when already running or when `inputDisabled` is false. Throws
  // InternalInconsistencyException, changing nothing, when running while
  // `inputDisabled` is false.
  virtual void start();
  // Undoes `start`: restores from the settings file, runs kUnlockCommands,
  // puts the original notification-centre delegate back, logs "Notification
  // center enabled". Does nothing unless running.
  virtual void stop();
  // Runs `command` with "/bin/bash" "-c" on the host's standard streams and
  // waits for it to exit. The exit status is ignored; a shell that cannot be
  // started is logged at "ERROR".
  virtual void runShellCommand(const std::string& command);

  // Notification-centre callbacks: each logs one "INFO" line with the
  // notification's title. Nothing registers them with the centre.
  [[nodiscard]] std::string delegateName() const override { return "InputHandlerSwift"; }
  void userNotificationCenterDidDeliverNotification(
      platform::NSUserNotificationCenter& center,
      const platform::NSUserNotification& notification) override;
  void userNotificationCenterDidActivateNotification(
      platform::NSUserNotificationCenter& center,
      const platform::NSUserNotification& notification) override;
  // Returns true.
  bool userNotificationCenterShouldPresentNotification(
      platform::NSUserNotificationCenter& center,
      const platform::NSUserNotification& notification) override;

  // Hot corners and symbolic hot keys.

  // Sets the four corners from `dict` through "CoreDockSetExposeCornerAction":
  // each gets `cornerActionFor(dict, key)`.
  virtual void updateHotCornerSettings(const PlistIO::Dictionary& dict);
  // Removes every blank, then turns line feeds into blanks.
  static std::optional<std::string> compactDescription(const std::optional<std::string>& text);
  // Without a list: disables every enabled hot key 0-255 except 15 and 27 and
  // returns their ids ("0,1,118"). With a list: enables each valid id in it
  // and returns "".
  virtual std::string applySymbolicHotKeys(const std::optional<std::string>& list);
  // The dictionary at the root of the property list at home + `relativePath`,
  // XML or binary; absent when missing, unreadable, not a property list
  // (printed) or not a dictionary.
  virtual std::optional<PlistIO::Dictionary> readHomePlist(
      const std::optional<std::string>& relativePath);
  // The integer value of a number under `key` in `dict` (reals truncated,
  // booleans 0 or 1); 0 for anything else.
  static int64_t cornerValue(const PlistIO::Dictionary* dict,
                             const std::optional<std::string>& key);
  // The settings file of this host (bundle name from the main bundle). A
  // bundle name that cannot be a folder name is refused with one printed
  // line, and the file lies directly in "Trevant" as without a name.
  virtual std::shared_ptr<PlistIO> createPlistIO();
  // Adds the four corner actions of the Dock preferences to `settings`
  // (0 for a corner they do not mention); nothing when they cannot be read.
  virtual void collectHotCornerSettings(PlistIO::Dictionary& settings);
  // Lockdown half of `start`: disables hot keys, writes the settings file
  // unless one exists, sets every corner to action 0. Before the first change
  // it writes the write-ahead record (SettingsRecord) unless a complete
  // settings file exists, or makes a leftover copy the settings file. When
  // nothing could be saved, says so once in the system log. When the
  // settings are held elsewhere it disables as ever and saves nothing.
  virtual void saveUserSettingsAndDisable();
  // Unlock half of `stop`: `restoreUserSettingsFrom(createPlistIO())`.
  // Restores nothing while the settings are held elsewhere, and after a
  // lockdown that saved nothing of its own only when a record was left.
  virtual void restoreUserSettings();

  // Set by whoever takes the settings lock, before `start` and before
  // `stop`: true when another live process (a lockdown of another browser,
  // the recovery tool) holds it. Its settings file and records are then never
  // written, restored or deleted by this handler. False by default.
  void setSettingsHeldElsewhere(bool heldElsewhere) { settingsHeldElsewhere_ = heldElsewhere; }

  // Building blocks, also for programs that restore a lockdown that never
  // ended.

  // "CFBundleName" of the host's main bundle, when it is text.
  static std::optional<std::string> hostBundleName();
  // Why `name` cannot be the settings file's folder: it holds "/" or NUL, is
  // "." or "..", is empty or blank, or is longer than a file name may be.
  // nullopt for a usable name.
  static std::optional<std::string> bundleNameProblem(std::string_view name);
  // The settings file of a host with `bundleName` (none: directly in
  // "Trevant"), folders created; null when they cannot be (printed).
  static std::shared_ptr<PlistIO> settingsFileFor(const std::optional<std::string>& bundleName);
  // Restores corners and hot keys from the file of `plistIO` and deletes it,
  // with the write-ahead record and the temporary files of killed writers.
  // When the file is missing or incomplete and a leftover copy is complete,
  // the copy becomes the file first. Null `plistIO`, an unreadable file or a
  // file that cannot be removed print their message; an unreadable file stays
  // as it is. The caller holds the settings lock.
  void restoreUserSettingsFrom(PlistIO* plistIO);
  // kLockCommands / kUnlockCommands through `runShellCommand`, in order.
  void runLockCommands();
  void runUnlockCommands();
  // A corner's action in a settings dictionary: the value under `key` when it
  // is a number exactly representable as a signed 32-bit integer, else 0.
  static int32_t cornerActionFor(const PlistIO::Dictionary& dict, std::string_view key);
  // The entries of a hot key list: `list` split at every ",", empty pieces
  // kept ("" gives one empty entry).
  static std::vector<std::string> hotKeyListEntries(std::string_view list);
  // The hot key id of one entry: a decimal integer with an optional sign, no
  // blanks, within 32 bits; nullopt otherwise (such entries are skipped).
  static std::optional<int32_t> hotKeyId(std::string_view entry);

 private:
  bool inputDisabled_;
  bool serviceRunning_ = false;
  std::string pathToCoreGraphicsBundle_;
  platform::NSUserNotificationCenter* notificationCenter_;
  bool wasNotificationCenterRunning_ = false;
  std::shared_ptr<platform::NSUserNotificationCenterDelegate> originalDelegate_;
  bool settingsHeldElsewhere_ = false;
  bool lockedDownWithoutRecord_ = false;  // the last lockdown saved nothing of its own

  // The write-ahead half of a lockdown on `settingsFile`; true when a
  // complete copy of the user's settings is on disk afterwards. What it
  // recorded of the desktop goes to `recorded` (unchanged when a copy was
  // already on disk).
  bool writeAheadRecord(const std::filesystem::path& settingsFile, PlistIO::Dictionary& recorded);
};

}  // namespace osxnatives

#endif  // OSXNATIVES_INPUT_INPUT_HANDLER_SWIFT_H_
