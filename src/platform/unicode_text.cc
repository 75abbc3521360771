#include "platform/unicode_text.h"

#include <algorithm>
#include <cstdint>

#include "platform/cf_string.h"

namespace osxnatives {
namespace {

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

constexpr char32_t kIllFormed = 0xFFFFFFFF;

// Decodes the character at `*i` of `s` and moves `*i` past it. An ill-formed
// sequence gives kIllFormed and moves past its maximal well-formed prefix (at
// least one byte), so that each ill-formed part is replaced once.
char32_t NextCodePoint(std::string_view s, size_t* i) {
  const auto byte = [&](size_t at) { return static_cast<uint8_t>(s[at]); };
  const uint8_t lead = byte((*i)++);
  if (lead < 0x80) {
    return lead;
  }
  size_t trail_count = 0;
  char32_t c = 0;
  uint8_t low = 0x80;
  uint8_t high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    trail_count = 1;
    c = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    trail_count = 2;
    c = lead & 0x0F;
    low = lead == 0xE0 ? 0xA0 : 0x80;
    high = lead == 0xED ? 0x9F : 0xBF;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    trail_count = 3;
    c = lead & 0x07;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;
  } else {
    return kIllFormed;
  }
  for (size_t k = 0; k < trail_count; ++k) {
    if (*i >= s.size() || byte(*i) < low || byte(*i) > high) {
      return kIllFormed;
    }
    c = (c << 6) | (byte((*i)++) & 0x3F);
    low = 0x80;
    high = 0xBF;
  }
  return c;
}

bool IsControlOrFormat(char32_t c) {
  return platform::Get<platform::CFStringText>().IsControlOrFormat(c);
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  for (size_t i = 0; i < bytes.size();) {
    if (NextCodePoint(bytes, &i) == kIllFormed) {
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
  for (size_t i = 0; i < bytes.size();) {
    const size_t start = i;
    if (NextCodePoint(bytes, &i) == kIllFormed) {
      result.append("\xEF\xBF\xBD");
    } else {
      result.append(bytes.substr(start, i - start));
    }
  }
  return result;
}

std::string TrimControlAndFormat(std::string_view text) {
  // Characters kept are those from the first to the last that is neither a
  // control nor a format character (ill-formed parts count as trimmable).
  size_t begin = text.size();
  size_t end = 0;
  for (size_t i = 0; i < text.size();) {
    const size_t start = i;
    const char32_t c = NextCodePoint(text, &i);
    if (c != kIllFormed && !IsControlOrFormat(c)) {
      begin = std::min(begin, start);
      end = i;
    }
  }
  return begin < end ? std::string(text.substr(begin, end - begin)) : std::string();
}

std::string CanonicalDecomposition(std::string_view text) {
  if (IsAscii(text)) {
    return std::string(text);
  }
  if (!IsValidUtf8(text)) {
    return platform::Get<platform::CFStringText>().CanonicalDecomposition(ToValidUtf8(text));
  }
  return platform::Get<platform::CFStringText>().CanonicalDecomposition(text);
}

std::string Lowercased(std::string_view text) {
  if (IsAscii(text)) {
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), [](char c) {
      return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return lowered;
  }
  return platform::Get<platform::CFStringText>().Lowercase(ToValidUtf8(text));
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
