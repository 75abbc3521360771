// Durability on Linux: fsync reaches the storage device (the kernel issues the
// cache flush), for files and folders alike.
#include <unistd.h>

#include "platform/posix/file_calls.h"

namespace osxnatives::platform {

int SyncFileToStorage(int fd) { return fsync(fd); }

}  // namespace osxnatives::platform
