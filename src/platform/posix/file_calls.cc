// The real system calls behind PosixFileCalls.
#include "platform/posix/file_calls.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/posix/services.h"

namespace osxnatives::platform {
namespace {

class SystemFileCalls : public PosixFileCalls {
 public:
  int Open(const char* path, int flags, mode_t mode) override { return open(path, flags, mode); }
  int MakeTemporary(char* pathTemplate, int flags) override {
    return mkostemp(pathTemplate, flags);
  }
  int Fchmod(int fd, mode_t mode) override { return fchmod(fd, mode); }
  int Fstat(int fd, struct stat* info) override { return fstat(fd, info); }
  int Lstat(const char* path, struct stat* info) override { return lstat(path, info); }
  int Stat(const char* path, struct stat* info) override { return stat(path, info); }
  ssize_t Read(int fd, void* buffer, size_t size) override { return read(fd, buffer, size); }
  ssize_t Write(int fd, const void* data, size_t size) override { return write(fd, data, size); }
  int Sync(int fd) override { return SyncFileToStorage(fd); }
  int Close(int fd) override { return close(fd); }
  int Rename(const char* from, const char* to) override { return rename(from, to); }
  int Unlink(const char* path) override { return unlink(path); }
  int Mkdir(const char* path, mode_t mode) override { return mkdir(path, mode); }
  int ListDirectory(const char* path, std::vector<std::string>* names) override {
    DIR* dir = opendir(path);
    if (dir == nullptr) {
      return -1;
    }
    errno = 0;
    while (const dirent* entry = readdir(dir)) {
      if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
        names->emplace_back(entry->d_name);
      }
      errno = 0;
    }
    const int error = errno;
    closedir(dir);
    errno = error;
    return error == 0 ? 0 : -1;
  }
};

}  // namespace

PosixFileCalls& PosixSystemFileCalls() {
  static auto* const calls = new SystemFileCalls();
  return *calls;
}

}  // namespace osxnatives::platform
