// The starting state of the simulated desktop, read from a JSON file.
//
// Every key is optional and unknown keys are ignored. A file that cannot be
// read or parsed, or whose root is not an object, gives one line on standard
// error and the defaults (an empty object). Values of the wrong type are
// reported by the service that reads them, through `Warn`, and the service
// falls back to its default.
#ifndef OSXNATIVES_PLATFORM_SIM_SCENARIO_H_
#define OSXNATIVES_PLATFORM_SIM_SCENARIO_H_

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace osxnatives::platform::sim {

// Name of the environment variable that holds the scenario file's path.
inline constexpr char kScenarioVariable[] = "OSXNATIVES_SIM_SCENARIO";

class Scenario {
 public:
  // The defaults: no key set.
  Scenario() = default;

  // Parses `text`. `source` names the text in the error line (a path).
  static Scenario Parse(std::string_view text, std::string_view source);
  // Reads and parses the file at `path`.
  static Scenario Load(const std::string& path);
  // The scenario named by `OSXNATIVES_SIM_SCENARIO`, or the defaults when the
  // variable is unset or empty.
  static Scenario FromEnvironment();

  // The top-level object; never null, possibly empty.
  const nlohmann::json& root() const { return root_; }
  // The value under `key`, or null when absent or JSON null.
  const nlohmann::json* Find(std::string_view key) const;

  // Typed look-ups of a top-level key. Absent gives nullopt silently; a value
  // of another type gives nullopt and a `Warn` line naming the key.
  std::optional<std::string> String(std::string_view key) const;
  std::optional<bool> Bool(std::string_view key) const;
  std::optional<int64_t> Integer(std::string_view key) const;

  // A file path given in the scenario: unchanged when absolute or when the
  // scenario was not read from a file, else taken relative to the scenario
  // file's folder, so that a scenario and the files it names move together.
  std::string ResolvePath(const std::string& path) const;

 private:
  explicit Scenario(nlohmann::json root) : root_(std::move(root)) {}
  nlohmann::json root_ = nlohmann::json::object();
  std::string folder_;  // Folder of the scenario file; empty when parsed from text.
};

// Writes "osxnatives: simulated desktop: <text>" as one line on standard
// error. Thread-safe.
void Warn(std::string_view text);

// The text under `key` of `object`; nullopt when it is absent or null, and
// when it is not a string, which is warned about as "<where>.<key> is not a
// string; treated as absent".
std::optional<std::string> OptionalString(const nlohmann::json& object, const char* key,
                                          const std::string& where);

}  // namespace osxnatives::platform::sim

#endif  // OSXNATIVES_PLATFORM_SIM_SCENARIO_H_
