// The JSON configuration of an assessment session, as the host writes it:
//
//   {
//     "allowsNetworkAccess": bool,             // the host itself; macOS 12+
//     "allowedApplications": [                 // macOS 12+, at most 64
//       {"bundleIdentifier": "com.apple.calculator",   // required
//        "teamIdentifier": "ABCDE12345",               // optional
//        "requiresSignatureValidation": bool,          // default true
//        "allowsNetworkAccess": bool}                  // default false
//     ],
//     "autocorrectMode": ["spelling", "punctuation"],   // macOS 15+
//     "allowsSpellCheck": bool,                         // macOS 15+
//     "allowsPredictiveKeyboard": bool,                 // macOS 15+
//     "allowsKeyboardShortcuts": bool                   // macOS 15+
//   }
//
// Every key is optional; an absent key leaves the system's default. A key
// this library does not know, a value of the wrong type, a malformed
// identifier, a duplicate application or too many applications is an error
// naming the key. A known key that the running macOS does not support is
// left out of the configuration and listed as unsupported.
#ifndef OSXNATIVES_ASSESSMENT_ASSESSMENT_CONFIGURATION_H_
#define OSXNATIVES_ASSESSMENT_ASSESSMENT_CONFIGURATION_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/ae_assessment_session.h"

namespace osxnatives::assessment {

// Most applications one configuration may allow beside the host.
inline constexpr size_t kMaxAllowedApplications = 64;

struct ParsedConfiguration {
  platform::AEAssessmentConfiguration configuration;
  // Top-level keys given but not supported here, in the order of the
  // document.
  std::vector<std::string> unsupportedKeys;
};

struct ConfigurationError {
  // The offending key as a path ("allowedApplications[2].bundleIdentifier");
  // empty when the document as a whole is wrong.
  std::string key;
  std::string message;
};

// Parses `json` for a system with `capabilities`. Never throws for bad input.
std::variant<ParsedConfiguration, ConfigurationError> ParseConfiguration(
    std::string_view json, const platform::AEAssessmentCapabilities& capabilities);

// Whether `identifier` is a bundle identifier: 1 to 255 characters of ASCII
// letters, digits, '-' and '.', in dot-separated non-empty parts.
bool IsBundleIdentifier(std::string_view identifier);

// Whether `identifier` is a team identifier: ten ASCII upper-case letters or
// digits.
bool IsTeamIdentifier(std::string_view identifier);

}  // namespace osxnatives::assessment

#endif  // OSXNATIVES_ASSESSMENT_ASSESSMENT_CONFIGURATION_H_
