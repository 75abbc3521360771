// DisplayHandlerSwift: the number of displays, the main screen's name, and
// hiding every display but the main one while the desktop is locked.
//
// Keeps no state: any instance may be used. Runs on the calling thread, takes
// no locks. Progress and errors go to the host log.
#ifndef OSXNATIVES_CHECKS_DISPLAY_HANDLER_SWIFT_H_
#define OSXNATIVES_CHECKS_DISPLAY_HANDLER_SWIFT_H_

#include <cstdint>
#include <optional>
#include <string>

namespace osxnatives {

class DisplayHandlerSwift {
 public:
  // Capacity of the online-display query.
  static constexpr uint32_t kMaxOnlineDisplays = 8;

  virtual ~DisplayHandlerSwift() = default;

  // Captures every active display except the main one, logging the screen
  // count, the main display and each display it hides.
  virtual void captureDisplay();
  // Releases every active display, the main one included, logging each.
  virtual void releaseDisplay();
  // The number of online displays, at most 8; 1 (after an "ERROR" line) when
  // the query fails.
  virtual int64_t getDisplayCount();
  // The main screen's localized name; nullopt when there is no main screen.
  virtual std::optional<std::string> getMainScreenName();
};

}  // namespace osxnatives

#endif  // OSXNATIVES_CHECKS_DISPLAY_HANDLER_SWIFT_H_
