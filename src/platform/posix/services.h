// The defaults of the shared POSIX backend, each created on first call and
// kept until the process ends. Thread-safe.
#ifndef OSXNATIVES_PLATFORM_POSIX_SERVICES_H_
#define OSXNATIVES_PLATFORM_POSIX_SERVICES_H_

#include "platform/file_lock.h"
#include "platform/ns_file_manager.h"
#include "platform/ns_thread.h"
#include "platform/posix_process.h"

namespace osxnatives::platform {

FolderLock& PosixFolderLock();
NSFileManager& PosixNSFileManager();
PosixProcess& PosixSignals();
NSThread& PosixNSThread();

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_POSIX_SERVICES_H_
