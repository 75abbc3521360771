// NSHomeDirectory and NSFileManager: the user's home and Application Support
// folders and the whole-file operations the settings file needs.
//
// Paths are absolute file-system paths. Failures come back as the platform's
// description of the error.
#ifndef OSXNATIVES_PLATFORM_NS_FILE_MANAGER_H_
#define OSXNATIVES_PLATFORM_NS_FILE_MANAGER_H_

#include <optional>
#include <string>
#include <string_view>

#include "platform/registry.h"

namespace osxnatives::platform {

// A path, or the description of the error that prevented it.
struct PathResult {
  std::optional<std::string> path;
  std::string error;
};

class NSFileManager {
 public:
  virtual ~NSFileManager() = default;

  // `NSHomeDirectory()`. Thread-safe.
  virtual std::string NSHomeDirectory() = 0;
  // `URLForDirectory:NSApplicationSupportDirectory inDomain:NSUserDomainMask
  // appropriateForURL:nil create:NO error:`. Thread-safe.
  virtual PathResult applicationSupportDirectory() = 0;
  // `createDirectoryAtURL:withIntermediateDirectories:YES attributes:nil`.
  // An existing folder is success. Returns the error description, or nullopt
  // on success. Thread-safe.
  virtual std::optional<std::string> createDirectoryWithIntermediates(const std::string& path) = 0;
  // `fileExistsAtPath:`. Thread-safe.
  virtual bool fileExistsAtPath(const std::string& path) = 0;
  // `NSURL checkResourceIsReachableAndReturnError:`; an error counts as false.
  virtual bool checkResourceIsReachable(const std::string& path) = 0;
  // `contentsAtPath:`: the whole file, or nullopt when it cannot be read.
  virtual std::optional<std::string> contentsAtPath(const std::string& path) = 0;
  // `NSData writeToURL:options:NSDataWritingAtomic error:`: replaces the file
  // so that a reader (or a crash at any moment) sees either the old file or
  // the complete new one, never a part. Returns the error description, or
  // nullopt on success.
  virtual std::optional<std::string> writeAtomically(const std::string& path,
                                                     std::string_view contents) = 0;
  // `removeItemAtURL:error:` for a file. Returns the error description, or
  // nullopt on success.
  virtual std::optional<std::string> removeItemAtPath(const std::string& path) = 0;
};

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_NS_FILE_MANAGER_H_
