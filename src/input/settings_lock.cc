#include "input/settings_lock.h"

#include "input/input_handler_swift.h"
#include "platform/ns_file_manager.h"

namespace osxnatives {

std::variant<std::filesystem::path, std::string> SettingsLock::folder() {
  platform::PathResult support =
      platform::Get<platform::NSFileManager>().applicationSupportDirectory();
  if (!support.path) {
    return support.error;
  }
  return std::filesystem::path(*support.path) / InputHandlerSwift::kSettingsFolder;
}

SettingsLock::Result SettingsLock::acquire(std::chrono::milliseconds timeout) {
  auto where = folder();
  if (const auto* error = std::get_if<std::string>(&where)) {
    return platform::FolderLockFailure{false, "", "Application Support: " + *error};
  }
  const std::string path = std::get<std::filesystem::path>(where).string();
  if (auto error =
          platform::Get<platform::NSFileManager>().createDirectoryWithIntermediates(path)) {
    return platform::FolderLockFailure{false, "", path + ": " + *error};
  }
  return platform::Get<platform::FolderLock>().Acquire(path, timeout);
}

}  // namespace osxnatives
