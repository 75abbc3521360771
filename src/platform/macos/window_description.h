// What the integrity report reads from one window dictionary of
// CGWindowListCopyWindowInfo, beside the owner id.
#ifndef OSXNATIVES_PLATFORM_MACOS_WINDOW_DESCRIPTION_H_
#define OSXNATIVES_PLATFORM_MACOS_WINDOW_DESCRIPTION_H_

#include <CoreFoundation/CoreFoundation.h>

#include "platform/cg_window_list.h"

namespace osxnatives::platform::macos {

// Fills the description fields of `info` (number, owner name, layer, alpha,
// sharing state, on-screen flag, bounds) from `window`, a borrowed window
// dictionary; a key that is missing or of another type leaves its field
// nullopt. Reads no contents and no title.
void DescribeWindow(CFDictionaryRef window, CGWindowInfo& info);

}  // namespace osxnatives::platform::macos

#endif  // OSXNATIVES_PLATFORM_MACOS_WINDOW_DESCRIPTION_H_
