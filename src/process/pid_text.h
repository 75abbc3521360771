// Process ids written as decimal text.
#ifndef OSXNATIVES_PROCESS_PID_TEXT_H_
#define OSXNATIVES_PROCESS_PID_TEXT_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace osxnatives {

// `text` as a signed 32-bit decimal number: one optional "+" or "-", then one
// or more digits 0-9, nothing else (no blanks). nullopt for anything else and
// for values outside the signed 32-bit range.
std::optional<int32_t> ParsePidText(std::string_view text);

// `text` read as the C library's `atoi` reads a zero-terminated string:
// leading white space skipped, an optional sign, the digits up to the first
// other character or NUL byte; 0 without digits. Out-of-range values are cut
// to 32 bits as `atoi` does on LP64 platforms.
int32_t AtoiPidText(const std::string& text);

}  // namespace osxnatives

#endif  // OSXNATIVES_PROCESS_PID_TEXT_H_
