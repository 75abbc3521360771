// UtilitySwift: small stateless operations the native methods and the
// security controller need. Create one per call; nothing survives a call.
#ifndef OSXNATIVES_UTILITY_UTILITY_SWIFT_H_
#define OSXNATIVES_UTILITY_UTILITY_SWIFT_H_

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
};

}  // namespace osxnatives

#endif  // OSXNATIVES_UTILITY_UTILITY_SWIFT_H_
