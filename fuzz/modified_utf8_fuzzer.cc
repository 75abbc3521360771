// Both directions of the Java string conversion, against ICU: any bytes give
// modified UTF-8 without NUL bytes or four-byte sequences, and read as
// modified UTF-8 give well-formed UTF-8; the bytes as UTF-16 code units,
// encoded as the JVM hands them out, read as ICU's UTF-8 of those units
// (unpaired surrogates as U+FFFD) and, without those, are written back alike.
#include <unicode/ustring.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/modified_utf8.h"
#include "check.h"

using osxnatives::bridge::FromModifiedUtf8;
using osxnatives::bridge::ToModifiedUtf8;

namespace {

bool WellFormed(std::string_view text) {
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = 0;
  u_strFromUTF8(nullptr, 0, &length, text.data(), static_cast<int32_t>(text.size()), &status);
  return status == U_BUFFER_OVERFLOW_ERROR || U_SUCCESS(status);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string modified = ToModifiedUtf8(bytes);
  for (const char c : modified) {
    Check(c != '\0' && (static_cast<uint8_t>(c) & 0xF8) != 0xF0, "NUL or four-byte sequence");
  }
  Check(WellFormed(FromModifiedUtf8(bytes)), "ill-formed UTF-8 from arbitrary bytes");

  std::vector<char16_t> units(size / 2);
  std::string java;
  for (size_t i = 0; i < units.size(); ++i) {
    const char16_t unit = units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    if (unit != 0 && unit < 0x80) {
      java += static_cast<char>(unit);
    } else if (unit < 0x800) {
      java += {static_cast<char>(0xC0 | (unit >> 6)), static_cast<char>(0x80 | (unit & 0x3F))};
    } else {
      java +=
          {static_cast<char>(0xE0 | (unit >> 12)), static_cast<char>(0x80 | ((unit >> 6) & 0x3F)),
           static_cast<char>(0x80 | (unit & 0x3F))};
    }
  }
  std::string icu(units.size() * 3, '\0');
  int32_t length = 0;
  int32_t substitutions = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8WithSub(icu.data(), static_cast<int32_t>(icu.size()), &length, units.data(),
                     static_cast<int32_t>(units.size()), 0xFFFD, &substitutions, &status);
  icu.resize(static_cast<size_t>(length));
  Check(U_SUCCESS(status) && FromModifiedUtf8(java) == icu, "Java string read unlike ICU");
  if (substitutions == 0) Check(ToModifiedUtf8(icu) == java, "Java string not written back");
  return 0;
}
