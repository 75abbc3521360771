// CFString text services: canonical decomposition, character classes, case.
#ifndef OSXNATIVES_PLATFORM_CF_STRING_H_
#define OSXNATIVES_PLATFORM_CF_STRING_H_

#include <string>
#include <string_view>

#include "platform/registry.h"

namespace osxnatives::platform {

class CFStringText {
 public:
  virtual ~CFStringText() = default;
  // The canonical decomposition (NFD) of `valid_utf8`, as UTF-8
  // (`CFStringNormalize` with `kCFStringNormalizationFormD`). Thread-safe.
  virtual std::string CanonicalDecomposition(std::string_view valid_utf8) = 0;
  // Whether `code_point` is a control (Cc) or format (Cf) character.
  // Thread-safe.
  virtual bool IsControlOrFormat(char32_t code_point) = 0;
  // `valid_utf8` lower-cased by the Unicode default case mapping, as UTF-8
  // (`CFStringLowercase` without a locale). Thread-safe.
  virtual std::string Lowercase(std::string_view valid_utf8) = 0;
};

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_CF_STRING_H_
