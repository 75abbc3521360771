// The integrity report: one JSON document of what the machine shows that an
// exam should know of (a virtual machine, hidden or overlay windows of other
// processes, the displays, the cameras, device bridges), each finding with
// the values it was read from.
//
// Document (every section has "status": "known" or "unknown", and "reason"
// when unknown; a value the platform cannot give is the text "unknown" with a
// "...Reason" member beside it):
//   {"version": 1,
//    "virtualMachine": {"status", "verdict": "yes"|"no"|"unknown",
//                       "evidence": [{"source", "name", "value" | "unknown",
//                                     "indicates": bool, "marker"?}]},
//    "windows": {"status", "examined": n, "findings": [{"ownerPid",
//                "ownerName", "windowNumber", "layer", "alpha",
//                "sharingState", "bounds": {x, y, width, height},
//                "why": ["sharingStateNone" | "aboveNormalWindows" |
//                        "translucent"]}]},
//    "displays": {"status", "list": [{"id", "main", "builtin", "mirrored",
//                 "mirrorOf", "vendor", "model", "serial", "widthMm",
//                 "heightMm", "pixelsWide", "pixelsHigh"}]},
//    "cameras": {"status", "list": [{"uniqueID", "name", "model",
//                "manufacturer", "deviceType", "continuityCamera",
//                "virtualCameraMarker"}]},
//    "deviceBridges": {"status", "found": [{"bridge", "pid", "processName",
//                      "bundleIdentifier", "matchedBy"}],
//                      "lookedFor": [bridge names]}}
//
// Reads the platform afresh on every call, never a window's contents, and
// changes nothing. Runs on the calling thread.
#ifndef OSXNATIVES_INTEGRITY_INTEGRITY_REPORT_H_
#define OSXNATIVES_INTEGRITY_INTEGRITY_REPORT_H_

#include <nlohmann/json.hpp>
#include <string>

namespace osxnatives::integrity {

class IntegrityReport {
 public:
  // The whole document as text.
  std::string Take();

  // The sections, each never throwing for a platform answer that is missing
  // or malformed (it becomes "unknown" with the reason).
  nlohmann::json VirtualMachine();
  nlohmann::json Windows();
  nlohmann::json Displays();
  nlohmann::json Cameras();
  nlohmann::json DeviceBridgeProcesses();
};

}  // namespace osxnatives::integrity

#endif  // OSXNATIVES_INTEGRITY_INTEGRITY_REPORT_H_
