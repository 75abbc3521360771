#include "process/pid_text.h"

#include <charconv>
#include <cstdlib>

namespace osxnatives {

std::optional<int32_t> ParsePidText(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) {
    return std::nullopt;
  }
  // Magnitudes up to 2^31 fit; anything longer than 10 digits does not, and
  // from_chars rejects it as out of range.
  uint64_t magnitude = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude);
  if (error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  const int64_t value =
      negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
  if (magnitude > (uint64_t{1} << 31) || value < INT32_MIN || value > INT32_MAX) {
    return std::nullopt;
  }
  return static_cast<int32_t>(value);
}

int32_t AtoiPidText(const std::string& text) {
  // std::strtol saturates instead of overflowing; the cut to int matches
  // atoi's (int)strtol(...).
  return static_cast<int32_t>(
      static_cast<uint32_t>(static_cast<uint64_t>(std::strtol(text.c_str(), nullptr, 10))));
}

}  // namespace osxnatives
