// The defaults of the shared POSIX backend, each created on first call and
// kept until the process ends. Thread-safe.
#ifndef OSXNATIVES_PLATFORM_POSIX_SERVICES_H_
#define OSXNATIVES_PLATFORM_POSIX_SERVICES_H_

#include "platform/file_lock.h"
#include "platform/ns_file_manager.h"
#include "platform/ns_thread.h"
#include "platform/own_process.h"
#include "platform/posix/file_calls.h"
#include "platform/posix_process.h"

namespace osxnatives::platform {

FolderLock& PosixFolderLock();
NSFileManager& PosixNSFileManager();
// The real system calls under the file manager and the folder lock.
PosixFileCalls& PosixSystemFileCalls();
PosixProcess& PosixSignals();
NSThread& PosixNSThread();
// Only the process id itself; a backend whose thread ids reach the process
// (Linux) registers its own.
OwnProcess& PosixOwnProcess();

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_POSIX_SERVICES_H_
