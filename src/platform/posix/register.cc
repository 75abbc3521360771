#include "platform/initialize.h"
#include "platform/posix/services.h"

namespace osxnatives::platform {

void RegisterPosixServices() {
  SetDefault<FolderLock>(&PosixFolderLock);
  SetDefault<NSFileManager>(&PosixNSFileManager);
  SetDefault<PosixFileCalls>(&PosixSystemFileCalls);
  SetDefault<PosixProcess>(&PosixSignals);
  SetDefault<NSThread>(&PosixNSThread);
  SetDefault<OwnProcess>(&PosixOwnProcess);
}

}  // namespace osxnatives::platform
