// Protection of the host application's own windows from capture by other
// processes: sets each window's sharing type to none and remembers what it
// had, so that a restore gives every window back its own value.
//
// Covers the windows that exist when `Protect` runs; a window created later
// keeps the system's default until `Protect` runs again.
#ifndef OSXNATIVES_INTEGRITY_CAPTURE_PROTECTION_H_
#define OSXNATIVES_INTEGRITY_CAPTURE_PROTECTION_H_

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

namespace osxnatives::integrity {

class CaptureProtection {
 public:
  // The process-wide instance. Thread-safe; lives until the process ends.
  static CaptureProtection& Instance();

  // Sets the sharing type of every window of the application to none.
  // Returns {"status": "known", "windows": [{"windowNumber", "previous",
  // "changed"}]} or {"status": "unknown", "reason"} when the windows cannot
  // be reached. A window protected before keeps its first remembered value.
  std::string Protect();
  // Gives every remembered window its remembered sharing type back and
  // forgets them. Returns {"status": "known", "windows": [{"windowNumber",
  // "restored", "present"}]}; a window that has gone is reported with
  // "present" false. Without an earlier `Protect`, the list is empty.
  std::string Restore();

 private:
  std::mutex mutex_;
  std::map<int64_t, int64_t> remembered_;  // window number -> its own value; guarded by mutex_.
};

}  // namespace osxnatives::integrity

#endif  // OSXNATIVES_INTEGRITY_CAPTURE_PROTECTION_H_
