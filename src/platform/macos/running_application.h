// The AppKit application behind a `RunningApplication` snapshot, shared by the
// workspace (activation) and the application object (yielding activation).
// Objective-C++ only.
#ifndef OSXNATIVES_PLATFORM_MACOS_RUNNING_APPLICATION_H_
#define OSXNATIVES_PLATFORM_MACOS_RUNNING_APPLICATION_H_

#import <AppKit/AppKit.h>

#include "platform/ns_workspace.h"

namespace osxnatives::platform::macos {

// The running application `snapshot` was taken of: looked up by process id
// and, so that a reused id never names another program, checked against the
// bundle identifier when the snapshot has one; by bundle identifier alone
// (the first of its instances) only when the snapshot has no process id. Nil
// when it has ended. Autoreleased: call inside a pool. Any thread.
::NSRunningApplication* FindRunningApplication(const RunningApplication& snapshot);

}  // namespace osxnatives::platform::macos

#endif  // OSXNATIVES_PLATFORM_MACOS_RUNNING_APPLICATION_H_
