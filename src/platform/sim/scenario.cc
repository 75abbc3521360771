#include "platform/sim/scenario.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace osxnatives::platform::sim {

void Warn(std::string_view text) {
  std::string line = "osxnatives: simulated desktop: ";
  line.append(text);
  line.push_back('\n');
  // One write call so that lines from different threads do not interleave.
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

std::optional<std::string> OptionalString(const nlohmann::json& object, const char* key,
                                          const std::string& where) {
  auto it = object.find(key);
  if (it == object.end() || it->is_null()) return std::nullopt;
  if (!it->is_string()) {
    Warn(where + "." + key + " is not a string; treated as absent");
    return std::nullopt;
  }
  return it->get<std::string>();
}

Scenario Scenario::Parse(std::string_view text, std::string_view source) {
  nlohmann::json root = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (root.is_discarded()) {
    Warn("scenario " + std::string(source) + " is not valid JSON; using the defaults");
    return {};
  }
  if (!root.is_object()) {
    Warn("scenario " + std::string(source) + " is not a JSON object; using the defaults");
    return {};
  }
  return Scenario(std::move(root));
}

Scenario Scenario::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  if (in) text << in.rdbuf();
  if (!in || in.bad()) {
    Warn("cannot read scenario " + path + "; using the defaults");
    return {};
  }
  Scenario scenario = Parse(text.str(), path);
  scenario.folder_ = std::filesystem::path(path).parent_path().string();
  return scenario;
}

Scenario Scenario::FromEnvironment() {
  const char* path = std::getenv(kScenarioVariable);
  if (path == nullptr || *path == '\0') return {};
  return Load(path);
}

const nlohmann::json* Scenario::Find(std::string_view key) const {
  auto it = root_.find(key);
  if (it == root_.end() || it->is_null()) return nullptr;
  return &*it;
}

std::string Scenario::ResolvePath(const std::string& path) const {
  if (folder_.empty() || path.empty() || std::filesystem::path(path).is_absolute()) return path;
  return (std::filesystem::path(folder_) / path).string();
}

namespace {

void WarnType(std::string_view key, std::string_view expected) {
  Warn("scenario key \"" + std::string(key) + "\" is not " + std::string(expected) +
       "; using its default");
}

}  // namespace

std::optional<std::string> Scenario::String(std::string_view key) const {
  const nlohmann::json* value = Find(key);
  if (value == nullptr) return std::nullopt;
  if (!value->is_string()) {
    WarnType(key, "a string");
    return std::nullopt;
  }
  return value->get<std::string>();
}

std::optional<bool> Scenario::Bool(std::string_view key) const {
  const nlohmann::json* value = Find(key);
  if (value == nullptr) return std::nullopt;
  if (!value->is_boolean()) {
    WarnType(key, "a boolean");
    return std::nullopt;
  }
  return value->get<bool>();
}

std::optional<int64_t> Scenario::Integer(std::string_view key) const {
  const nlohmann::json* value = Find(key);
  if (value == nullptr) return std::nullopt;
  if (!value->is_number_integer()) {
    WarnType(key, "an integer");
    return std::nullopt;
  }
  return value->get<int64_t>();
}

}  // namespace osxnatives::platform::sim
