// Unicode text helpers: UTF-8 validation and repair, trimming of control and
// format characters, canonical equivalence, lower case. Character classes,
// normalisation and case mapping come from the `CFStringText` service.
// Thread-safe.
#ifndef OSXNATIVES_PLATFORM_UNICODE_TEXT_H_
#define OSXNATIVES_PLATFORM_UNICODE_TEXT_H_

#include <string>
#include <string_view>

namespace osxnatives {

// Whether `bytes` is well-formed UTF-8 (no surrogates, nothing above
// U+10FFFF, shortest forms only). NUL bytes are well-formed.
bool IsValidUtf8(std::string_view bytes);

// `bytes` decoded as UTF-8 with every ill-formed sequence replaced by U+FFFD.
std::string ToValidUtf8(std::string_view bytes);

// `text` (well-formed UTF-8) without the control (Cc) and format (Cf)
// characters at its start and end.
std::string TrimControlAndFormat(std::string_view text);

// The canonical decomposition (NFD) of `text`, as UTF-8. Two texts are
// canonically equivalent exactly when their decompositions are equal.
// Ill-formed input is repaired with U+FFFD first.
std::string CanonicalDecomposition(std::string_view text);

// Whether `a` and `b` are canonically equivalent (no case folding).
bool CanonicallyEquivalent(std::string_view a, std::string_view b);

// `text` lower-cased by the Unicode default case mapping (no locale), as
// UTF-8. Ill-formed input is repaired with U+FFFD first.
std::string Lowercased(std::string_view text);

}  // namespace osxnatives

#endif  // OSXNATIVES_PLATFORM_UNICODE_TEXT_H_
