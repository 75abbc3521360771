#include "common/unicode_text.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <stdexcept>

namespace osxnatives {
namespace {

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool IsControlOrFormat(UChar32 c) {
  const int8_t type = u_charType(c);
  return type == U_CONTROL_CHAR || type == U_FORMAT_CHAR;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  const auto* s = reinterpret_cast<const uint8_t*>(bytes.data());
  const auto length = static_cast<int32_t>(bytes.size());
  for (int32_t i = 0; i < length;) {
    UChar32 c;
    U8_NEXT(s, i, length, c);
    if (c < 0) {
      return false;
    }
  }
  return true;
}

std::string ToValidUtf8(std::string_view bytes) {
  if (IsAscii(bytes)) {
    return std::string(bytes);
  }
  std::string result;
  result.reserve(bytes.size());
  const auto* s = reinterpret_cast<const uint8_t*>(bytes.data());
  const auto length = static_cast<int32_t>(bytes.size());
  for (int32_t i = 0; i < length;) {
    const int32_t start = i;
    UChar32 c;
    U8_NEXT(s, i, length, c);
    if (c < 0) {
      result.append("\xEF\xBF\xBD");
    } else {
      result.append(bytes.substr(static_cast<size_t>(start), static_cast<size_t>(i - start)));
    }
  }
  return result;
}

std::string TrimControlAndFormat(std::string_view text) {
  const auto* s = reinterpret_cast<const uint8_t*>(text.data());
  const auto length = static_cast<int32_t>(text.size());
  int32_t begin = 0;
  while (begin < length) {
    int32_t next = begin;
    UChar32 c;
    U8_NEXT(s, next, length, c);
    if (c >= 0 && !IsControlOrFormat(c)) {
      break;
    }
    begin = next;
  }
  int32_t end = length;
  while (end > begin) {
    int32_t previous = end;
    UChar32 c;
    U8_PREV(s, begin, previous, c);
    if (c >= 0 && !IsControlOrFormat(c)) {
      break;
    }
    end = previous;
  }
  return std::string(text.substr(static_cast<size_t>(begin), static_cast<size_t>(end - begin)));
}

std::string CanonicalDecomposition(std::string_view text) {
  if (IsAscii(text)) {
    return std::string(text);
  }
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
  if (U_FAILURE(status)) {
    throw std::runtime_error(u_errorName(status));
  }
  const icu::UnicodeString source = icu::UnicodeString::fromUTF8(
      icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  const icu::UnicodeString decomposed = nfd->normalize(source, status);
  if (U_FAILURE(status)) {
    throw std::runtime_error(u_errorName(status));
  }
  std::string result;
  decomposed.toUTF8String(result);
  return result;
}

bool CanonicallyEquivalent(std::string_view a, std::string_view b) {
  if (a == b) {
    return true;
  }
  if (IsAscii(a) && IsAscii(b)) {
    return false;
  }
  return CanonicalDecomposition(a) == CanonicalDecomposition(b);
}

}  // namespace osxnatives
