#include "platform/initialize.h"
#include "platform/posix/services.h"

namespace osxnatives::platform {

void RegisterPosixServices() {
  SetDefault<FolderLock>(&PosixFolderLock);
  SetDefault<NSFileManager>(&PosixNSFileManager);
  SetDefault<PosixProcess>(&PosixSignals);
  SetDefault<NSThread>(&PosixNSThread);
}

}  // namespace osxnatives::platform
