// NSWindow `sharingType` of the host application's own windows: whether other
// processes may capture their contents.
#ifndef OSXNATIVES_PLATFORM_NS_WINDOW_SHARING_H_
#define OSXNATIVES_PLATFORM_NS_WINDOW_SHARING_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace osxnatives::platform {

// `NSWindowSharingType` values.
inline constexpr int64_t kNSWindowSharingNone = 0;
inline constexpr int64_t kNSWindowSharingReadOnly = 1;
inline constexpr int64_t kNSWindowSharingReadWrite = 2;

struct HostWindow {
  int64_t windowNumber = 0;  // `[NSWindow windowNumber]`
  int64_t sharingType = kNSWindowSharingReadOnly;
};

struct HostWindowList {
  std::vector<HostWindow> windows;
  // Set when the windows cannot be reached (no NSApplication in the process).
  std::optional<std::string> unknownReason;
};

class NSWindowSharing {
 public:
  virtual ~NSWindowSharing() = default;
  // `[NSApp windows]` with each window's `sharingType`. Calling thread.
  virtual HostWindowList windows() = 0;
  // Sets `sharingType` of the window numbered `windowNumber`. Returns false
  // when no such window exists any more. Calling thread.
  virtual bool setSharingType(int64_t windowNumber, int64_t sharingType) = 0;
};

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_NS_WINDOW_SHARING_H_
