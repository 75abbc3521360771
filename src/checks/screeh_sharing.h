// ScreehSharing: whether the system's screen-sharing service is running.
#ifndef OSXNATIVES_CHECKS_SCREEH_SHARING_H_
#define OSXNATIVES_CHECKS_SCREEH_SHARING_H_

#include <cstdint>

namespace osxnatives {

// Stateless; create one per call.
class ScreehSharing {
 public:
  static constexpr char kPgrepPath[] = "/usr/bin/pgrep";
  static constexpr char kScreenSharingDaemon[] = "screensharingd";

  virtual ~ScreehSharing() = default;

  // Runs "/usr/bin/pgrep screensharingd" and returns 1 when it printed at
  // least one byte (a process of that name runs), else 0. When the tool
  // cannot be started, logs "Error running pgrep to detect screen sharing" at
  // "ERROR" and returns 0. Blocks the calling thread until the tool has closed
  // its output; the tool is always collected.
  virtual int64_t checkScreenSharing();
};

}  // namespace osxnatives

#endif  // OSXNATIVES_CHECKS_SCREEH_SHARING_H_
