#include "bridge/modified_utf8.h"

#include <cstdint>

namespace osxnatives::bridge {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kInvalid = 0xFFFFFFFF;

// Decodes one sequence at `in[i]`, advancing `i`. Accepts the encoded
// surrogates and the two-byte NUL of modified UTF-8 when `modified` is set;
// returns kInvalid (advancing one byte) for anything else that is malformed.
char32_t Decode(std::string_view in, size_t& i, bool modified) {
  const auto byte = [&](size_t k) { return static_cast<uint8_t>(in[k]); };
  const uint8_t lead = byte(i);
  size_t length = 0;
  char32_t cp = 0;
  if (lead < 0x80) {
    ++i;
    return lead;
  }
  if ((lead & 0xE0) == 0xC0) {
    length = 2;
    cp = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    cp = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0 && !modified) {
    length = 4;
    cp = lead & 0x07;
  } else {
    ++i;
    return kInvalid;
  }
  if (i + length > in.size()) {
    ++i;
    return kInvalid;
  }
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) {
      ++i;
      return kInvalid;
    }
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  const bool nul_pair = modified && length == 2 && cp == 0;
  const bool overlong = (length == 2 && cp < 0x80 && !nul_pair) || (length == 3 && cp < 0x800) ||
                        (length == 4 && cp < 0x10000);
  const bool surrogate = cp >= 0xD800 && cp <= 0xDFFF;
  if (overlong || cp > 0x10FFFF || (surrogate && !modified)) {
    ++i;
    return kInvalid;
  }
  i += length;
  return cp;
}

void Encode(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

bool IsModifiedUtf8AsIs(std::string_view utf8) {
  for (size_t i = 0; i < utf8.size();) {
    const auto byte = static_cast<uint8_t>(utf8[i]);
    if (byte != 0 && byte < 0x80) {
      ++i;
      continue;
    }
    const char32_t cp = Decode(utf8, i, /*modified=*/false);
    if (cp == 0 || cp == kInvalid || cp >= 0x10000) {
      return false;
    }
  }
  return true;
}

std::string ToModifiedUtf8(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    char32_t cp = Decode(utf8, i, /*modified=*/false);
    if (cp == kInvalid) cp = kReplacement;
    if (cp == 0) {
      out.append("\xC0\x80");
    } else if (cp >= 0x10000) {
      const char32_t v = cp - 0x10000;
      Encode(0xD800 + (v >> 10), out);
      Encode(0xDC00 + (v & 0x3FF), out);
    } else {
      Encode(cp, out);
    }
  }
  return out;
}

std::string FromModifiedUtf8(std::string_view modified) {
  std::string out;
  out.reserve(modified.size());
  for (size_t i = 0; i < modified.size();) {
    char32_t cp = Decode(modified, i, /*modified=*/true);
    if (cp >= 0xD800 && cp <= 0xDBFF && i < modified.size()) {
      size_t next = i;
      const char32_t low = Decode(modified, next, /*modified=*/true);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        i = next;
      }
    }
    if (cp == kInvalid || (cp >= 0xD800 && cp <= 0xDFFF)) cp = kReplacement;
    Encode(cp, out);
  }
  return out;
}

}  // namespace osxnatives::bridge
