// CFStringText on macOS: canonical decomposition with CFStringNormalize,
// lower case with CFStringLowercase and control/format membership with the
// predefined CFCharacterSet.
//
// CFCharacterSet.h documents kCFCharacterSetControl as Unicode General
// Category Cc and Cf, which is exactly the set asked for. Its tables follow
// the Unicode version of the running macOS, so format characters that a
// later Unicode version assigns (for example U+0890 and U+0891, Unicode 14)
// are members only on systems that know them.
#include <CoreFoundation/CoreFoundation.h>

#include <string>
#include <string_view>

#include "platform/cf_string.h"
#include "platform/macos/cf_json.h"
#include "platform/macos/services.h"
#include "platform/registry.h"

namespace osxnatives::platform::macos {
namespace {

class CoreFoundationText : public CFStringText {
 public:
  // Text that CoreFoundation cannot read as UTF-8 (outside the contract)
  // comes back unchanged.
  std::string CanonicalDecomposition(std::string_view valid_utf8) override {
    CFStringRef text = CreateCFStringFromUtf8(valid_utf8);
    if (text == nullptr) {
      return std::string(valid_utf8);
    }
    CFMutableStringRef decomposed = CFStringCreateMutableCopy(kCFAllocatorDefault, 0, text);
    CFRelease(text);
    if (decomposed == nullptr) {
      return std::string(valid_utf8);
    }
    CFStringNormalize(decomposed, kCFStringNormalizationFormD);
    std::string result = Utf8FromCFString(decomposed);
    CFRelease(decomposed);
    return result;
  }

  // Lower case without a locale: the Unicode default mapping. Text that
  // CoreFoundation cannot read as UTF-8 comes back unchanged, as above.
  std::string Lowercase(std::string_view valid_utf8) override {
    CFStringRef text = CreateCFStringFromUtf8(valid_utf8);
    if (text == nullptr) {
      return std::string(valid_utf8);
    }
    CFMutableStringRef lowered = CFStringCreateMutableCopy(kCFAllocatorDefault, 0, text);
    CFRelease(text);
    if (lowered == nullptr) {
      return std::string(valid_utf8);
    }
    CFStringLowercase(lowered, nullptr);
    std::string result = Utf8FromCFString(lowered);
    CFRelease(lowered);
    return result;
  }

  bool IsControlOrFormat(char32_t code_point) override {
    if (code_point > 0x10FFFF) {
      return false;
    }
    return CFCharacterSetIsLongCharacterMember(CFCharacterSetGetPredefined(kCFCharacterSetControl),
                                               static_cast<UTF32Char>(code_point)) != 0;
  }
};

}  // namespace

void RegisterText() { SetDefault<CFStringText>(new CoreFoundationText()); }

}  // namespace osxnatives::platform::macos
