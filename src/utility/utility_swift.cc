#include "utility/utility_swift.h"

#include "platform/ns_pasteboard.h"
#include "platform/ns_user_defaults.h"

namespace osxnatives {

void UtilitySwift::clearClipboard() { platform::Get<platform::NSPasteboard>().ClearContents(); }

void UtilitySwift::enableUniversalClipboard(bool enable) {
  auto defaults =
      platform::Get<platform::NSUserDefaults>().InitWithSuiteName(kUniversalClipboardDomain);
  if (defaults == nullptr) return;
  defaults->SetInteger(kUniversalClipboardKey, enable ? 1 : 0);
}

}  // namespace osxnatives
