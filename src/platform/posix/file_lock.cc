// Folder locks with flock(2) on a lock file that is never removed (removing it
// would let two processes lock two different files of the same name).
#include "platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <thread>

#include "platform/posix/services.h"

namespace osxnatives::platform {
namespace {

class FlockHeld : public HeldFolderLock {
 public:
  explicit FlockHeld(int fd) : fd_(fd) {}
  ~FlockHeld() override { close(fd_); }  // closing the descriptor releases the lock
  FlockHeld(const FlockHeld&) = delete;
  FlockHeld& operator=(const FlockHeld&) = delete;

 private:
  const int fd_;
};

std::string ThisProcess() {
  std::string name;
  std::ifstream("/proc/self/comm") >> name;
  if (name.empty()) name = "process";
  return name + " (pid " + std::to_string(getpid()) + ")";
}

constexpr size_t kHolderRecordSize = 128;

std::string ReadHolder(int fd) {
  char buffer[256];
  const ssize_t length = pread(fd, buffer, sizeof buffer - 1, 0);
  if (length <= 0) return "";
  std::string holder(buffer, static_cast<size_t>(length));
  holder.resize(std::min(holder.find('\0'), holder.size()));
  while (!holder.empty() && holder.back() == '\n') holder.pop_back();
  return holder;
}

class FlockFolderLock : public FolderLock {
 public:
  std::variant<std::unique_ptr<HeldFolderLock>, FolderLockFailure> Acquire(
      const std::string& folder, std::chrono::milliseconds timeout) override {
    const std::string path = folder + "/" + kLockFileName;
    // Never through a link, never a FIFO or device, never a file that has
    // another name elsewhere: the holder line is written into it.
    auto& calls = Get<PosixFileCalls>();
    const int fd =
        calls.Open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (fd < 0) return FolderLockFailure{false, "", path + ": " + std::strerror(errno)};
    struct stat info {};
    if (calls.Fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1) {
      close(fd);
      return FolderLockFailure{false, "", path + ": not a lock file of this library"};
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    // flock has no timed wait; poll at a short interval up to the deadline.
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      if (errno != EWOULDBLOCK && errno != EINTR) {
        FolderLockFailure failure{false, "", path + ": " + std::strerror(errno)};
        close(fd);
        return failure;
      }
      if (std::chrono::steady_clock::now() >= deadline) {
        FolderLockFailure failure{true, ReadHolder(fd), ""};
        close(fd);
        return failure;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // A fixed-size record padded with NULs replaces an earlier holder's line
    // without truncating the file.
    std::string holder = ThisProcess() + "\n";
    holder.resize(std::max<size_t>(holder.size(), kHolderRecordSize), '\0');
    [[maybe_unused]] ssize_t written = pwrite(fd, holder.data(), holder.size(), 0);
    return std::make_unique<FlockHeld>(fd);
  }
};

}  // namespace

FolderLock& PosixFolderLock() {
  static auto* const lock = new FlockFolderLock();
  return *lock;
}

}  // namespace osxnatives::platform
