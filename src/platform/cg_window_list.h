// CoreGraphics window list: the windows of every application in the session.
#ifndef OSXNATIVES_PLATFORM_CG_WINDOW_LIST_H_
#define OSXNATIVES_PLATFORM_CG_WINDOW_LIST_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace osxnatives::platform {

// `CGWindowListOption` bits.
inline constexpr uint32_t kCGWindowListOptionAll = 0;
inline constexpr uint32_t kCGWindowListOptionOnScreenOnly = 1U << 0;
inline constexpr uint32_t kCGWindowListOptionOnScreenAboveWindow = 1U << 1;
inline constexpr uint32_t kCGWindowListOptionOnScreenBelowWindow = 1U << 2;
inline constexpr uint32_t kCGWindowListOptionIncludingWindow = 1U << 3;
inline constexpr uint32_t kCGWindowListExcludeDesktopElements = 1U << 4;

// CoreGraphics' kCGNullWindowID, under another name: CGWindow.h defines that
// name as a macro, which would rewrite a constant of the same name.
inline constexpr uint32_t kNullWindowID = 0;

// One window dictionary of the list, reduced to what its readers use.
struct CGWindowInfo {
  // The number under `kCGWindowOwnerPID`, as the dictionary holds it (not
  // necessarily integral); nullopt when the key is missing or not a number.
  std::optional<double> ownerPID;

  // Read for the integrity report; each nullopt when the key is missing or of
  // another type. Never the window's contents or title.
  std::optional<int64_t> windowNumber;   // kCGWindowNumber
  std::optional<std::string> ownerName;  // kCGWindowOwnerName
  std::optional<int64_t> layer;          // kCGWindowLayer; 0 is the normal level
  std::optional<double> alpha;           // kCGWindowAlpha
  std::optional<int64_t> sharingState;   // kCGWindowSharingState; 0 is none
  std::optional<bool> isOnscreen;        // kCGWindowIsOnscreen
  struct Bounds {
    double x = 0, y = 0, width = 0, height = 0;
  };
  std::optional<Bounds> bounds;  // kCGWindowBounds
};

// `kCGWindowSharingState` values.
inline constexpr int64_t kCGWindowSharingNone = 0;
inline constexpr int64_t kCGWindowSharingReadOnly = 1;
inline constexpr int64_t kCGWindowSharingReadWrite = 2;

class CGWindowList {
 public:
  virtual ~CGWindowList() = default;

  // `CGWindowListCopyWindowInfo(option, relativeToWindow)`: the windows the
  // option bits select, front to back; nullopt where the platform returns
  // NULL. Thread-safe.
  virtual std::optional<std::vector<CGWindowInfo>> CGWindowListCopyWindowInfo(
      uint32_t option, uint32_t relativeToWindow) = 0;
};

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_CG_WINDOW_LIST_H_
