// The advisory lock that makes lockdowns, unlocks and the recovery tool take
// turns on the settings files.
//
// One exclusive lock covers the whole "Trevant" folder below Application
// Support, so it guards the settings file of every host bundle name at once.
// The library holds it from a lockdown until the matching unlock (the
// operating system releases it when the process dies, which is how a
// lockdown that never ended is told apart from one still running); the
// recovery tool holds it while it restores.
#ifndef OSXNATIVES_INPUT_SETTINGS_LOCK_H_
#define OSXNATIVES_INPUT_SETTINGS_LOCK_H_

#include <chrono>
#include <filesystem>
#include <memory>
#include <variant>

#include "platform/file_lock.h"

namespace osxnatives {

class SettingsLock {
 public:
  using Result =
      std::variant<std::unique_ptr<platform::HeldFolderLock>, platform::FolderLockFailure>;

  // The "Trevant" folder below the user's Application Support folder, or the
  // platform's error text when Application Support is unknown. Prints
  // nothing and creates nothing.
  static std::variant<std::filesystem::path, std::string> folder();

  // Creates the "Trevant" folder when missing and takes its lock, waiting at
  // most `timeout` for another holder. Blocks the calling thread. A failure
  // that is not `busy` carries the error text (unknown or uncreatable folder,
  // lock file that cannot be opened).
  static Result acquire(std::chrono::milliseconds timeout);
};

}  // namespace osxnatives

#endif  // OSXNATIVES_INPUT_SETTINGS_LOCK_H_
