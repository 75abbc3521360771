// Simulated displays: CoreGraphics display lists, capture and release, and
// NSScreen, from the scenario keys "displays" and "displayErrors".
#ifndef OSXNATIVES_PLATFORM_SIM_DISPLAYS_H_
#define OSXNATIVES_PLATFORM_SIM_DISPLAYS_H_

#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/cg_display.h"
#include "platform/sim/desktop.h"

namespace osxnatives::platform::sim {

// "displays" is a list of {"id", "name", "main", "online", "active"}; "online"
// and "active" default to true, "main" to false ("active" implies "online").
// The main display is the first entry marked "main", else the first active
// one, else 0. NSScreen reports one screen per active display; the main
// screen is the main display while it is active. Entries without an unsigned
// 32-bit "id" are skipped with a warning. Default: one display, id 1, named
// "Simulated Display", main, online and active.
//
// "displayErrors" is {"CGGetOnlineDisplayList": code, "CGGetActiveDisplayList":
// code}: a nonzero code makes that query fail with it.
//
// Capture and release journal "CoreGraphics" "CGDisplayCapture" /
// "CGDisplayRelease" {"display"}; an id that is not active gives
// kCGErrorIllegalArgument and is journaled all the same.
//
// Each entry may also describe the display: "builtin" (bool), "mirrorOf" (the
// id of the display it mirrors), "vendor", "model", "serial" (unsigned 32-bit),
// "widthMm", "heightMm" (numbers), "pixelsWide", "pixelsHigh"; absent values
// are 0 (false for "builtin"), as CoreGraphics answers for a display that does
// not say. Reading a description is not journaled.
class SimDisplays : public CGDisplay, public NSScreen, public CGDisplayProperties {
 public:
  struct Display {
    CGDirectDisplayID id = 0;
    std::string name;
    bool main = false;
    bool online = true;
    bool active = true;
    CGDisplayDescription description;
  };

  explicit SimDisplays(Desktop& desktop);

  CGError CGGetOnlineDisplayList(uint32_t max_displays, CGDirectDisplayID* displays,
                                 uint32_t* display_count) override;
  CGError CGGetActiveDisplayList(uint32_t max_displays, CGDirectDisplayID* displays,
                                 uint32_t* display_count) override;
  CGDirectDisplayID CGMainDisplayID() override { return main_; }
  CGError CGDisplayCapture(CGDirectDisplayID display) override;
  CGError CGDisplayRelease(CGDirectDisplayID display) override;

  uint32_t screensCount() override;
  std::optional<std::string> mainScreenLocalizedName() override;

  std::optional<CGDisplayDescription> describeDisplay(CGDirectDisplayID display) override;

  // The displays captured now, in id order. Thread-safe.
  std::vector<CGDirectDisplayID> captured() const;

 private:
  CGError Fill(bool active_only, uint32_t max_displays, CGDirectDisplayID* displays,
               uint32_t* display_count) const;
  bool IsActive(CGDirectDisplayID display) const;

  Desktop& desktop_;
  std::vector<Display> displays_;
  CGDirectDisplayID main_ = 0;
  CGError online_error_ = kCGErrorSuccess;
  CGError active_error_ = kCGErrorSuccess;
  mutable std::mutex mutex_;
  std::set<CGDirectDisplayID> captured_;  // Guarded by mutex_.
};

}  // namespace osxnatives::platform::sim

#endif  // OSXNATIVES_PLATFORM_SIM_DISPLAYS_H_
