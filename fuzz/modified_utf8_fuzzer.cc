// Feeds arbitrary bytes to both directions of the Java string conversion and
// checks them against ICU:
// - standard UTF-8 to modified UTF-8 gives no NUL byte and no four-byte
//   sequence, and comes back unchanged when the input was valid UTF-8;
// - the input read as UTF-16 code units and encoded as the JVM does (what
//   GetStringUTFChars hands out) converts to exactly ICU's UTF-8 of those
//   units, unpaired surrogates as U+FFFD, and converts back to the same bytes
//   when no surrogate was unpaired;
// - whatever the bytes, the modified-to-standard direction gives well-formed
//   UTF-8.
#include <unicode/ustring.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/modified_utf8.h"

namespace {

using osxnatives::bridge::FromModifiedUtf8;
using osxnatives::bridge::ToModifiedUtf8;

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
  }
}

// Whether ICU reads `text` as well-formed UTF-8.
bool WellFormed(std::string_view text) {
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = 0;
  u_strFromUTF8(nullptr, 0, &length, text.data(), static_cast<int32_t>(text.size()), &status);
  return status == U_BUFFER_OVERFLOW_ERROR || status == U_STRING_NOT_TERMINATED_WARNING ||
         U_SUCCESS(status);
}

// The JVM's modified UTF-8 of a string of UTF-16 code units.
std::string JavaModifiedUtf8(const std::vector<char16_t>& units) {
  std::string out;
  for (const char16_t unit : units) {
    if (unit != 0 && unit < 0x80) {
      out.push_back(static_cast<char>(unit));
    } else if (unit < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (unit >> 6)));
      out.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (unit >> 12)));
      out.push_back(static_cast<char>(0x80 | ((unit >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
    }
  }
  return out;
}

// ICU's UTF-8 of `units`, unpaired surrogates as U+FFFD; `replaced` tells
// whether there were any.
std::string IcuUtf8(const std::vector<char16_t>& units, bool& replaced) {
  std::string out(units.size() * 3, '\0');
  int32_t length = 0;
  int32_t substitutions = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, units.data(),
                     static_cast<int32_t>(units.size()), 0xFFFD, &substitutions, &status);
  Check(U_SUCCESS(status), "ICU could not convert the code units");
  out.resize(static_cast<size_t>(length));
  replaced = substitutions > 0;
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  const std::string modified = ToModifiedUtf8(bytes);
  for (const char c : modified) {
    Check(c != '\0', "NUL byte in modified UTF-8");
    Check((static_cast<uint8_t>(c) & 0xF8) != 0xF0, "four-byte sequence in modified UTF-8");
  }
  const std::string standard = FromModifiedUtf8(modified);
  Check(WellFormed(standard), "round trip gave ill-formed UTF-8");
  if (WellFormed(bytes)) Check(standard == bytes, "valid UTF-8 did not survive the round trip");
  Check(ToModifiedUtf8(standard) == modified, "replacement is not stable");

  Check(WellFormed(FromModifiedUtf8(bytes)), "ill-formed UTF-8 from arbitrary bytes");

  std::vector<char16_t> units(size / 2);
  for (size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  }
  const std::string java = JavaModifiedUtf8(units);
  bool replaced = false;
  const std::string expected = IcuUtf8(units, replaced);
  Check(FromModifiedUtf8(java) == expected, "Java string read differently from ICU");
  if (!replaced) Check(ToModifiedUtf8(expected) == java, "Java string did not survive");
  return 0;
}
