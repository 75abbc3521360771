// Conversion between standard UTF-8 and the JVM's modified UTF-8 (NUL as
// C0 80, characters above U+FFFF as two encoded surrogates).
#ifndef OSXNATIVES_BRIDGE_MODIFIED_UTF8_H_
#define OSXNATIVES_BRIDGE_MODIFIED_UTF8_H_

#include <string>
#include <string_view>

namespace osxnatives::bridge {

// Returns `utf8` in modified UTF-8. Invalid input bytes become U+FFFD.
std::string ToModifiedUtf8(std::string_view utf8);

// Whether `utf8` is already its own modified UTF-8, so that the JVM can take
// it unconverted: well-formed, without NUL, nothing above U+FFFF.
bool IsModifiedUtf8AsIs(std::string_view utf8);

// Returns `modified` in standard UTF-8. Paired surrogates are joined;
// unpaired ones and invalid bytes become U+FFFD.
std::string FromModifiedUtf8(std::string_view modified);

}  // namespace osxnatives::bridge

#endif  // OSXNATIVES_BRIDGE_MODIFIED_UTF8_H_
