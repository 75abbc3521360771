// CFString text services on Linux, through ICU.
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <stdexcept>

#include "platform/linux/services.h"

namespace osxnatives::platform {
namespace {

class IcuText : public CFStringText {
 public:
  std::string CanonicalDecomposition(std::string_view valid_utf8) override {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
    if (U_FAILURE(status)) {
      throw std::runtime_error(u_errorName(status));
    }
    const icu::UnicodeString source = icu::UnicodeString::fromUTF8(
        icu::StringPiece(valid_utf8.data(), static_cast<int32_t>(valid_utf8.size())));
    const icu::UnicodeString decomposed = nfd->normalize(source, status);
    if (U_FAILURE(status)) {
      throw std::runtime_error(u_errorName(status));
    }
    std::string result;
    decomposed.toUTF8String(result);
    return result;
  }

  bool IsControlOrFormat(char32_t code_point) override {
    const int8_t type = u_charType(static_cast<UChar32>(code_point));
    return type == U_CONTROL_CHAR || type == U_FORMAT_CHAR;
  }

  std::string Lowercase(std::string_view valid_utf8) override {
    std::string result;
    icu::UnicodeString::fromUTF8(
        icu::StringPiece(valid_utf8.data(), static_cast<int32_t>(valid_utf8.size())))
        .toLower(icu::Locale::getRoot())
        .toUTF8String(result);
    return result;
  }
};

}  // namespace

CFStringText& LinuxCFStringText() {
  static auto* const text = new IcuText();
  return *text;
}

}  // namespace osxnatives::platform
