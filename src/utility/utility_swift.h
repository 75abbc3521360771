// UtilitySwift: small stateless operations the native methods and the
// security controller need. Create one per call; nothing survives a call.
#ifndef OSXNATIVES_UTILITY_UTILITY_SWIFT_H_
#define OSXNATIVES_UTILITY_UTILITY_SWIFT_H_

#include <optional>
#include <string>

#include "process/process_swift.h"

namespace osxnatives {

class UtilitySwift {
 public:
  // Preference domain and key of universal clipboard sharing.
  static constexpr char kUniversalClipboardDomain[] = "com.apple.coreservices.useractivityd";
  static constexpr char kUniversalClipboardKey[] = "ClipboardSharingEnabled";

  virtual ~UtilitySwift() = default;

  // Empties the general pasteboard.
  virtual void clearClipboard();

  // Writes the integer 1 or 0 under "ClipboardSharingEnabled" in the
  // universal-clipboard preferences. Does nothing when the domain cannot be
  // opened.
  virtual void enableUniversalClipboard(bool enable);

  // The process-list document of `processes`, pretty-printed:
  // {"processes": [{"pid", "processName", "parentProcessName", "processPath",
  // "processType", "state"}, …]} in list order, optional members only when
  // present. Records named like the host application (canonical
  // equivalence) are left out. nullopt for an empty list, and (after logging
  // "Error serializing JSON: …" at "error") when the text cannot be written.
  static std::optional<std::string> processesToJSON(const ProcessList& processes);
};

}  // namespace osxnatives

#endif  // OSXNATIVES_UTILITY_UTILITY_SWIFT_H_
