// CFStringText on macOS: canonical decomposition with CFStringNormalize,
// lower case with CFStringLowercase and control/format membership with the
// predefined CFCharacterSet.
//
// CFCharacterSet.h documents kCFCharacterSetControl as Unicode General
// Category Cc and Cf, which is exactly the set asked for. Its tables follow
// the Unicode version of the running macOS, so format characters that a
// later Unicode version assigns (for example U+0890 and U+0891, Unicode 14)
// are members only on systems that know them.
#if !__has_feature(objc_arc)
#error "This file is built with automatic reference counting (-fobjc-arc)."
#endif

#include <CoreFoundation/CoreFoundation.h>

#include <string>
#include <string_view>

#include "platform/cf_string.h"
#include "platform/macos/cf_json.h"
#include "platform/macos/scoped_cf.h"
#include "platform/macos/services.h"
#include "platform/registry.h"

namespace osxnatives::platform::macos {
namespace {

// `utf8` changed in place by `transform` on a mutable copy; unchanged when
// CoreFoundation cannot read it as UTF-8 or cannot copy it.
template <typename Transform>
std::string Transformed(std::string_view utf8, Transform&& transform) {
  const ScopedCFTypeRef<CFStringRef> text(CreateCFStringFromUtf8(utf8));
  if (!text) return std::string(utf8);
  const ScopedCFTypeRef<CFMutableStringRef> copy(
      CFStringCreateMutableCopy(kCFAllocatorDefault, 0, text.get()));
  if (!copy) return std::string(utf8);
  transform(copy.get());
  return Utf8FromCFString(copy.get());
}

class CoreFoundationText : public CFStringText {
 public:
  // Text that CoreFoundation cannot read as UTF-8 (outside the contract)
  // comes back unchanged.
  std::string CanonicalDecomposition(std::string_view valid_utf8) override {
    return Transformed(valid_utf8, [](CFMutableStringRef text) {
      CFStringNormalize(text, kCFStringNormalizationFormD);
    });
  }

  // Lower case without a locale: the Unicode default mapping. Text that
  // CoreFoundation cannot read as UTF-8 comes back unchanged, as above.
  std::string Lowercase(std::string_view valid_utf8) override {
    return Transformed(valid_utf8,
                       [](CFMutableStringRef text) { CFStringLowercase(text, nullptr); });
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
