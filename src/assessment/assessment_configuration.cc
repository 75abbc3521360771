#include "assessment/assessment_configuration.h"

#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <utility>

namespace osxnatives::assessment {
namespace {

using platform::AEAssessmentConfiguration;

constexpr size_t kMaxBundleIdentifierLength = 255;
constexpr uint64_t kAutocorrectSpelling = 1U << 0;
constexpr uint64_t kAutocorrectPunctuation = 1U << 1;

// Thrown inside the parser only; ParseConfiguration turns it into its result.
struct Invalid {
  std::string key;
  std::string message;
};

bool Boolean(const nlohmann::ordered_json& value, const std::string& key) {
  if (!value.is_boolean()) throw Invalid{key, "must be true or false"};
  return value.get<bool>();
}

const std::string& Text(const nlohmann::ordered_json& value, const std::string& key) {
  if (!value.is_string()) throw Invalid{key, "must be a string"};
  return value.get_ref<const std::string&>();
}

AEAssessmentConfiguration::AllowedApplication Application(const nlohmann::ordered_json& entry,
                                                          const std::string& where) {
  if (!entry.is_object()) throw Invalid{where, "must be an object"};
  AEAssessmentConfiguration::AllowedApplication allowed;
  bool has_bundle = false;
  for (const auto& [name, value] : entry.items()) {
    std::string key = where;
    key.append(".").append(name);
    if (name == "bundleIdentifier") {
      const std::string& identifier = Text(value, key);
      if (identifier.empty()) throw Invalid{key, "must not be empty"};
      if (!IsBundleIdentifier(identifier)) {
        throw Invalid{key, "is not a bundle identifier (letters, digits, '-' and '.')"};
      }
      allowed.application.bundleIdentifier = identifier;
      has_bundle = true;
    } else if (name == "teamIdentifier") {
      const std::string& team = Text(value, key);
      if (!IsTeamIdentifier(team)) {
        throw Invalid{key, "is not a team identifier (ten upper-case letters or digits)"};
      }
      allowed.application.teamIdentifier = team;
    } else if (name == "requiresSignatureValidation") {
      allowed.application.requiresSignatureValidation = Boolean(value, key);
    } else if (name == "allowsNetworkAccess") {
      allowed.configuration.allowsNetworkAccess = Boolean(value, key);
    } else {
      throw Invalid{key, "is not a key of an allowed application"};
    }
  }
  if (!has_bundle) throw Invalid{where + ".bundleIdentifier", "is missing"};
  return allowed;
}

std::vector<AEAssessmentConfiguration::AllowedApplication> Applications(
    const nlohmann::ordered_json& list, const std::string& key) {
  if (!list.is_array()) throw Invalid{key, "must be an array"};
  if (list.size() > kMaxAllowedApplications) {
    throw Invalid{key, "lists " + std::to_string(list.size()) + " applications; at most " +
                           std::to_string(kMaxAllowedApplications) + " are allowed"};
  }
  std::vector<AEAssessmentConfiguration::AllowedApplication> applications;
  std::set<std::string> seen;
  for (size_t i = 0; i < list.size(); ++i) {
    const std::string where = key + "[" + std::to_string(i) + "]";
    auto allowed = Application(list[i], where);
    if (!seen.insert(allowed.application.bundleIdentifier).second) {
      throw Invalid{where + ".bundleIdentifier",
                    "repeats \"" + allowed.application.bundleIdentifier + "\""};
    }
    applications.push_back(std::move(allowed));
  }
  return applications;
}

uint64_t AutocorrectMode(const nlohmann::ordered_json& list, const std::string& key) {
  if (!list.is_array()) throw Invalid{key, R"(must be an array of "spelling" and "punctuation")"};
  uint64_t mode = 0;
  for (size_t i = 0; i < list.size(); ++i) {
    const std::string where = key + "[" + std::to_string(i) + "]";
    const std::string& name = Text(list[i], where);
    if (name == "spelling") {
      mode |= kAutocorrectSpelling;
    } else if (name == "punctuation") {
      mode |= kAutocorrectPunctuation;
    } else {
      throw Invalid{where, R"(must be "spelling" or "punctuation")"};
    }
  }
  return mode;
}

ParsedConfiguration Parse(const nlohmann::ordered_json& root,
                          const platform::AEAssessmentCapabilities& capabilities) {
  if (!root.is_object()) throw Invalid{"", "the configuration must be a JSON object"};
  ParsedConfiguration parsed;
  AEAssessmentConfiguration& configuration = parsed.configuration;
  // Each key is checked in full even when this system cannot apply it, so a
  // mistake shows on every Mac alike.
  for (const auto& [key, value] : root.items()) {
    bool supported = true;
    if (key == "allowsNetworkAccess") {
      configuration.mainParticipantAllowsNetworkAccess = Boolean(value, key);
      supported = capabilities.supportsApplications;
    } else if (key == "allowedApplications") {
      configuration.applications = Applications(value, key);
      supported = capabilities.supportsApplications;
    } else if (key == "autocorrectMode") {
      configuration.autocorrectMode = AutocorrectMode(value, key);
      supported = capabilities.supportsKeyboardOptions;
    } else if (key == "allowsSpellCheck") {
      configuration.allowsSpellCheck = Boolean(value, key);
      supported = capabilities.supportsKeyboardOptions;
    } else if (key == "allowsPredictiveKeyboard") {
      configuration.allowsPredictiveKeyboard = Boolean(value, key);
      supported = capabilities.supportsKeyboardOptions;
    } else if (key == "allowsKeyboardShortcuts") {
      configuration.allowsKeyboardShortcuts = Boolean(value, key);
      supported = capabilities.supportsKeyboardOptions;
    } else {
      throw Invalid{key, "is not a key of an assessment configuration"};
    }
    if (!supported) parsed.unsupportedKeys.push_back(key);
  }
  if (!capabilities.supportsApplications) {
    configuration.mainParticipantAllowsNetworkAccess.reset();
    configuration.applications.clear();
  }
  if (!capabilities.supportsKeyboardOptions) {
    configuration.autocorrectMode.reset();
    configuration.allowsSpellCheck.reset();
    configuration.allowsPredictiveKeyboard.reset();
    configuration.allowsKeyboardShortcuts.reset();
  }
  return parsed;
}

}  // namespace

bool IsBundleIdentifier(std::string_view identifier) {
  if (identifier.empty() || identifier.size() > kMaxBundleIdentifierLength) return false;
  if (identifier.front() == '.' || identifier.back() == '.') return false;
  char previous = '\0';
  for (char c : identifier) {
    const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                         (c >= '0' && c <= '9') || c == '-' || c == '.';
    if (!allowed || (c == '.' && previous == '.')) return false;
    previous = c;
  }
  return true;
}

bool IsTeamIdentifier(std::string_view identifier) {
  if (identifier.size() != 10) return false;
  for (char c : identifier) {
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
  }
  return true;
}

std::variant<ParsedConfiguration, ConfigurationError> ParseConfiguration(
    std::string_view json, const platform::AEAssessmentCapabilities& capabilities) {
  nlohmann::ordered_json root =
      nlohmann::ordered_json::parse(json, nullptr, /*allow_exceptions=*/false);
  if (root.is_discarded()) return ConfigurationError{"", "the configuration is not valid JSON"};
  try {
    return Parse(root, capabilities);
  } catch (const Invalid& invalid) {
    return ConfigurationError{invalid.key, invalid.message};
  }
}

}  // namespace osxnatives::assessment
