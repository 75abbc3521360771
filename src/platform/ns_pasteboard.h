// NSPasteboard: the general pasteboard (the user's clipboard).
#ifndef OSXNATIVES_PLATFORM_NS_PASTEBOARD_H_
#define OSXNATIVES_PLATFORM_NS_PASTEBOARD_H_

#include "platform/registry.h"

namespace osxnatives::platform {

class NSPasteboard {
 public:
  virtual ~NSPasteboard() = default;
  // `[[NSPasteboard generalPasteboard] clearContents]`. Thread-safe.
  virtual void ClearContents() = 0;
};

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_NS_PASTEBOARD_H_
