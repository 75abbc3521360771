// The system calls through which the POSIX file manager and folder lock reach
// the disk, one virtual per call, so that a test can count them and make any
// one of them fail (or end the process) with a chosen error. The default is
// the real calls; tests install another with
// platform::ScopedOverride<platform::PosixFileCalls>.
//
// Each call has the POSIX contract of its namesake: -1 (or a short count)
// with errno set on failure. Thread-safe when the implementation is.
#ifndef OSXNATIVES_PLATFORM_POSIX_FILE_CALLS_H_
#define OSXNATIVES_PLATFORM_POSIX_FILE_CALLS_H_

#include <sys/stat.h>
#include <sys/types.h>

#include <string>
#include <vector>

#include "platform/registry.h"

namespace osxnatives::platform {

// Makes the data and metadata of the open file `fd` durable as the platform
// defines it: on macOS `fcntl(F_FULLFSYNC)` (falling back to `fsync` where
// the file system does not support it), elsewhere `fsync`. Works on an open
// folder too, which makes the names in it durable. Returns 0, or -1 with
// errno set. Each build compiles one implementation.
int SyncFileToStorage(int fd);

class PosixFileCalls {
 public:
  virtual ~PosixFileCalls() = default;

  virtual int Open(const char* path, int flags, mode_t mode) = 0;
  // `mkostemp`: creates and opens a new file from `pathTemplate` (its last
  // six characters "XXXXXX" are replaced in place).
  virtual int MakeTemporary(char* pathTemplate, int flags) = 0;
  virtual int Fchmod(int fd, mode_t mode) = 0;
  virtual int Fstat(int fd, struct stat* info) = 0;
  virtual int Lstat(const char* path, struct stat* info) = 0;
  virtual int Stat(const char* path, struct stat* info) = 0;
  virtual ssize_t Read(int fd, void* buffer, size_t size) = 0;
  virtual ssize_t Write(int fd, const void* data, size_t size) = 0;
  // SyncFileToStorage.
  virtual int Sync(int fd) = 0;
  virtual int Close(int fd) = 0;
  virtual int Rename(const char* from, const char* to) = 0;
  virtual int Unlink(const char* path) = 0;
  virtual int Mkdir(const char* path, mode_t mode) = 0;
  // The names in the folder at `path` ("." and ".." left out) into `names`;
  // 0, or -1 with errno set when it cannot be listed.
  virtual int ListDirectory(const char* path, std::vector<std::string>* names) = 0;
};

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_POSIX_FILE_CALLS_H_
