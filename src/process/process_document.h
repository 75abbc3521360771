// Reading a process-list document: {"processes": [{"pid": "412",
// "processName": "Mail", …}, …]}. Only "pid" and "processName" of each entry
// are read; every other member is ignored, so a document the library wrote
// can be sent back unchanged.
#ifndef OSXNATIVES_PROCESS_PROCESS_DOCUMENT_H_
#define OSXNATIVES_PROCESS_PROCESS_DOCUMENT_H_

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace osxnatives {

class ProcessDocument {
 public:
  enum class Failure {
    kNone,
    kParse,      // not JSON, or a top level that is neither object nor array
    kStructure,  // JSON, but not a non-empty object whose "processes" is an
                 // array of objects
  };

  // Parses `text` (UTF-8) and checks its structure. Never throws for bad
  // input.
  static ProcessDocument Read(std::string_view text);

  [[nodiscard]] Failure failure() const { return failure_; }
  // The parser's description of a kParse failure; empty otherwise.
  [[nodiscard]] const std::string& parse_error() const { return parse_error_; }
  // The process entries, each a JSON object, in document order. Only
  // meaningful when failure() is kNone.
  [[nodiscard]] const nlohmann::json& entries() const { return entries_; }

  // The member `key` of `entry` when it is a JSON string; nullopt for a
  // missing member or any other JSON type (a number included).
  static std::optional<std::string> StringMember(const nlohmann::json& entry, const char* key);

 private:
  Failure failure_ = Failure::kNone;
  std::string parse_error_;
  nlohmann::json entries_ = nlohmann::json::array();
};

}  // namespace osxnatives

#endif  // OSXNATIVES_PROCESS_PROCESS_DOCUMENT_H_
