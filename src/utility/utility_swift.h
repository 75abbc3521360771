// UtilitySwift: small stateless operations the native methods and the
// security controller need. Create one per call; nothing survives a call.
#ifndef OSXNATIVES_UTILITY_UTILITY_SWIFT_H_
#define OSXNATIVES_UTILITY_UTILITY_SWIFT_H_

#include <optional>
#include <string>
#include <string_view>

#include "process/process_swift.h"

namespace osxnatives {

class UtilitySwift {
 public:
  // Preference domain and key of universal clipboard sharing.
  static constexpr char kUniversalClipboardDomain[] = "com.apple.coreservices.useractivityd";
  static constexpr char kUniversalClipboardKey[] = "ClipboardSharingEnabled";

  virtual ~UtilitySwift() = default;

  // The string under `key` (exact, case-sensitive) in the host application's
  // Info.plist; the empty string when the key is missing, when its value is
  // not a string (nothing is converted to text), or when there is no
  // Info.plist. Runs on the calling thread.
  virtual std::string getInfoPlistProperty(std::string_view key);

  // Asks for microphone (camera) access unless it is authorised already, in
  // which case nothing happens. Returns at once; the platform's answer is
  // logged later, from a platform thread, at "INFO": "Audio authorized" /
  // "Audio not authorized" ("Camera authorized" / "Camera not authorized").
  virtual void requestMicrophonePermission();
  virtual void requestCameraPermission();

  // Checks, with the platform's prompt, whether the process is trusted for
  // accessibility; if not, checks again once per second until it is, however
  // long that takes. Then logs at "INFO" "User already had accessibility
  // permissions for Kestrelgate application" (trusted at once) or "User
  // provided accessibility permissions to Kestrelgate application". Blocks the
  // calling thread until the permission is granted.
  virtual void requestAccessibilityPermission();

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
  // The same, for a list handed over: each record that nothing else holds is
  // released as soon as it is written, which keeps the memory of a long
  // listing low.
  static std::optional<std::string> processesToJSON(ProcessList&& processes);
};

}  // namespace osxnatives

#endif  // OSXNATIVES_UTILITY_UTILITY_SWIFT_H_
