// Durability on macOS: fsync only hands the data to the drive, whose cache may
// still lose it at a power cut; F_FULLFSYNC also makes the drive flush its
// cache. File systems that do not support it (some network and FAT volumes)
// answer ENOTSUP or EINVAL, and get fsync, the most they offer.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/file_calls.h"

namespace osxnatives::platform {

int SyncFileToStorage(int fd) {
  if (fcntl(fd, F_FULLFSYNC) == 0) {
    return 0;
  }
  if (errno != ENOTSUP && errno != EINVAL) {
    return -1;
  }
  return fsync(fd);
}

}  // namespace osxnatives::platform
