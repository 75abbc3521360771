// Simulated CoreGraphics window list, from the scenario key "windows".
#ifndef OSXNATIVES_PLATFORM_SIM_WINDOW_LIST_H_
#define OSXNATIVES_PLATFORM_SIM_WINDOW_LIST_H_

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/cg_window_list.h"
#include "platform/sim/desktop.h"

namespace osxnatives::platform::sim {

// "windows" entries are {"ownerPid": number, "onScreen": bool (default
// true)}, front to back, plus "windowNumber", "ownerName", "layer", "alpha",
// "sharingState" and "bounds" {"x","y","width","height"} where given (read
// back as the integrity keys of the dictionary); ownerPid 0 stands for the
// host process. A window without "ownerPid" has no owner in its dictionary; an
// ownerPid that is not a number is reported with `Warn` and left out of the
// dictionary. Option bits
// that ask for on-screen windows (OnScreenOnly, OnScreenAboveWindow,
// OnScreenBelowWindow) list only the windows on screen; every other option
// set lists them all. Reading the list is not an effect and is not journaled.
class SimWindowList : public CGWindowList {
 public:
  // `host_pid` is the pid that ownerPid 0 stands for.
  SimWindowList(Desktop& desktop, int32_t host_pid);

  std::optional<std::vector<CGWindowInfo>> CGWindowListCopyWindowInfo(
      uint32_t option, uint32_t relativeToWindow) override;

 private:
  struct Window {
    CGWindowInfo info;
    bool on_screen = true;
  };
  std::vector<Window> windows_;
};

}  // namespace osxnatives::platform::sim

#endif  // OSXNATIVES_PLATFORM_SIM_WINDOW_LIST_H_
