// The copies of the user's settings that a lockdown can leave beside the
// settings file, and how an unlock or the recovery tool uses them.
//
// A lockdown writes the user's hot corners and hot keys to the write-ahead
// record (kWriteAheadName) before it changes anything, then disables them and
// writes the settings file as ever. Until the settings file exists the record
// is the only copy; the unlock removes it. The settings file's atomic writer
// leaves a complete temporary file (".Settings.plist.XXXXXX") when it is
// killed between writing and renaming: that is a copy too.
//
// Only a process that holds the settings lock may call the operations that
// change files (Adopt, WriteAhead, RemoveLeftovers). All files go through the
// platform's file manager: links are never followed, nothing but regular
// files is read or replaced.
#ifndef OSXNATIVES_INPUT_SETTINGS_RECORD_H_
#define OSXNATIVES_INPUT_SETTINGS_RECORD_H_

#include <filesystem>
#include <optional>

#include "input/plist_io.h"

namespace osxnatives {

class SettingsRecord {
 public:
  // The write-ahead record's name, in the settings file's folder.
  static constexpr char kWriteAheadName[] = ".osxnatives-wal.plist";

  // The dictionary in `file` when it is a regular file holding a
  // property-list dictionary; nullopt otherwise. Prints nothing.
  static std::optional<PlistIO::Dictionary> Read(const std::filesystem::path& file);
  // True for what a lockdown writes: a dictionary whose "HotKeys" is text.
  static bool Complete(const PlistIO::Dictionary& settings);

  struct Found {
    std::filesystem::path file;
    PlistIO::Dictionary settings;
  };
  // What an unlock of `settingsFile` restores from: the settings file when
  // complete; else the write-ahead record when complete; else a complete
  // temporary file of the settings file's writer; else the settings file
  // when it can be read at all. nullopt when there is nothing. Changes
  // nothing.
  static std::optional<Found> Best(const std::filesystem::path& settingsFile);

  // When the settings file is not complete and a leftover copy is, writes the
  // copy's content as the settings file. True when the settings file is
  // complete afterwards.
  static bool Adopt(const std::filesystem::path& settingsFile);

  // Writes `settings` as the write-ahead record of `settingsFile`; false when
  // it could not be written. Prints nothing.
  static bool WriteAhead(const std::filesystem::path& settingsFile,
                         const PlistIO::Dictionary& settings);

  // Removes the write-ahead record and every temporary file of a killed
  // writer beside `settingsFile`.
  static void RemoveLeftovers(const std::filesystem::path& settingsFile);

  // True when a write-ahead record or a temporary file of a killed writer
  // lies beside `settingsFile`.
  static bool HasLeftovers(const std::filesystem::path& settingsFile);
};

}  // namespace osxnatives

#endif  // OSXNATIVES_INPUT_SETTINGS_RECORD_H_
