#include "process/process_document.h"

#include <algorithm>

namespace osxnatives {

ProcessDocument ProcessDocument::Read(std::string_view text) {
  ProcessDocument document;
  nlohmann::json root;
  try {
    root = nlohmann::json::parse(text);
  } catch (const nlohmann::json::exception& e) {
    document.failure_ = Failure::kParse;
    document.parse_error_ = e.what();
    return document;
  }
  // The reader takes containers only, never a bare value at the top.
  if (!root.is_object() && !root.is_array()) {
    document.failure_ = Failure::kParse;
    document.parse_error_ = "JSON text did not start with array or object";
    return document;
  }
  if (!root.is_object() || root.empty()) {
    document.failure_ = Failure::kStructure;
    return document;
  }
  auto processes = root.find("processes");
  if (processes == root.end() || !processes->is_array() ||
      !std::all_of(processes->begin(), processes->end(),
                   [](const nlohmann::json& entry) { return entry.is_object(); })) {
    document.failure_ = Failure::kStructure;
    return document;
  }
  document.entries_ = std::move(*processes);
  return document;
}

std::optional<std::string> ProcessDocument::StringMember(const nlohmann::json& entry,
                                                         const char* key) {
  auto it = entry.find(key);
  if (it == entry.end() || !it->is_string()) {
    return std::nullopt;
  }
  return it->get<std::string>();
}

}  // namespace osxnatives
