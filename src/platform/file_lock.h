// Advisory, exclusive locks on a folder (BSD `flock` on a lock file inside
// it), so that processes working on the same files take turns.
#ifndef OSXNATIVES_PLATFORM_FILE_LOCK_H_
#define OSXNATIVES_PLATFORM_FILE_LOCK_H_

#include <chrono>
#include <memory>
#include <string>
#include <variant>

#include "platform/registry.h"

namespace osxnatives::platform {

// A lock being held; destroying it releases the lock.
class HeldFolderLock {
 public:
  virtual ~HeldFolderLock() = default;
};

// Why a lock could not be taken.
struct FolderLockFailure {
  bool busy = false;   // true: another holder kept it for the whole wait
  std::string holder;  // who holds it, as it wrote itself ("osxnatives-recover (pid 42)"); may
                       // be empty when unknown
  std::string error;   // the system's description when `busy` is false
};

class FolderLock {
 public:
  // The name of the lock file inside the folder.
  static constexpr char kLockFileName[] = ".osxnatives.lock";

  virtual ~FolderLock() = default;

  // Takes the exclusive lock of `folder` (which must exist), waiting at most
  // `timeout` for another holder to let go. On success the lock file names
  // this process as the holder. Blocks the calling thread; thread-safe. Locks
  // taken by two calls in one process exclude each other too.
  virtual std::variant<std::unique_ptr<HeldFolderLock>, FolderLockFailure> Acquire(
      const std::string& folder, std::chrono::milliseconds timeout) = 0;
};

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_FILE_LOCK_H_
