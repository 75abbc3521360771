// UtilitySwift::processesToJSON: writing the process-list document.
//
// The document is written straight from the records, without an intermediate
// tree, into pieces of about kPieceSize bytes; a record the writer owns alone
// is let go once written, and the pieces are joined into the document once
// every record is gone. So a listing never holds its records, the pieces and
// the document all at once. The layout is that of a pretty-printer with two-space
// indentation, ": " between key and value and members in the order listed
// below; texts escape '"', '\\' and the C0 controls (short forms for
// \b \f \n \r \t, "\u00xx" with lower-case hex for the rest) and keep every
// other character, "/" and DEL included, as it is.
#include <algorithm>
#include <array>
#include <cstdint>
#include <nlohmann/json.hpp>

#include "common/host.h"
#include "platform/ns_workspace.h"
#include "platform/unicode_text.h"
#include "utility/utility_swift.h"

namespace osxnatives {
namespace {

constexpr std::string_view kHead = "{\n  \"processes\": [";
constexpr std::string_view kTail = "\n  ]\n}";
constexpr std::string_view kEmptyDocument = "{\n  \"processes\": []\n}";
constexpr std::string_view kObjectOpen = "\n    {";
constexpr std::string_view kObjectClose = "\n    }";
constexpr std::string_view kMemberIndent = "\n      ";
constexpr size_t kPieceSize = size_t{64} * 1024;

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Bytes written for one byte of a text: 0 for a byte that needs no escape,
// else the length of its escape. Bytes from 0x80 up are copied as they are
// (after the text has been checked to be UTF-8).
constexpr std::array<uint8_t, 256> kEscapeLength = [] {
  std::array<uint8_t, 256> length{};
  for (int c = 0; c < 0x20; ++c) {
    length[c] = 6;
  }
  for (const char c : {'\b', '\f', '\n', '\r', '\t', '"', '\\'}) {
    length[static_cast<unsigned char>(c)] = 2;
  }
  return length;
}();

void AppendQuoted(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out.push_back('"');
  size_t plain = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (kEscapeLength[c] == 0) {
      continue;
    }
    out.append(text.substr(plain, i - plain));
    plain = i + 1;
    switch (c) {
      case '\b':
        out.append("\\b");
        break;
      case '\f':
        out.append("\\f");
        break;
      case '\n':
        out.append("\\n");
        break;
      case '\r':
        out.append("\\r");
        break;
      case '\t':
        out.append("\\t");
        break;
      case '"':
        out.append("\\\"");
        break;
      case '\\':
        out.append("\\\\");
        break;
      default:
        out.append("\\u00");
        out.push_back(kHex[c >> 4]);
        out.push_back(kHex[c & 0xF]);
    }
  }
  out.append(text.substr(plain));
  out.push_back('"');
}

// The members of one process object, in document order; absent optional
// values are left out.
struct Member {
  std::string_view key;
  const std::optional<std::string>* text = nullptr;  // an optional member
  std::string_view fixed;                            // else this enumeration text
};

std::array<Member, 6> MembersOf(const ProcessSwift& process) {
  return {{{"pid", &process.pid, {}},
           {"processName", &process.localizedName, {}},
           {"parentProcessName", &process.parentProcessName, {}},
           {"processPath", &process.processPath, {}},
           {"processType", nullptr, DocumentText(process.processType)},
           {"state", nullptr, DocumentText(process.state)}}};
}

template <typename Visit>
void ForEachValue(const ProcessSwift& process, Visit&& visit) {
  for (const Member& member : MembersOf(process)) {
    if (member.text == nullptr) {
      visit(member.key, member.fixed);
    } else if (member.text->has_value()) {
      visit(member.key, std::string_view(**member.text));
    }
  }
}

// The JSON library's own message for a text that is not UTF-8, so that the
// log line names the offending byte the way readers of the log know it.
std::string InvalidTextMessage(std::string_view text) {
  try {
    (void)nlohmann::json(std::string(text)).dump();
  } catch (const nlohmann::json::exception& e) {
    return e.what();
  }
  return "invalid UTF-8";
}

}  // namespace

std::optional<std::string> UtilitySwift::processesToJSON(const ProcessList& processes) {
  return processesToJSON(ProcessList(processes));
}

std::optional<std::string> UtilitySwift::processesToJSON(ProcessList&& processes) {
  if (processes.empty()) {
    return std::nullopt;
  }
  const std::string host_name = CanonicalDecomposition(
      platform::Get<platform::NSWorkspace>().currentApplication().localizedName.value_or(""));
  const auto is_host = [&host_name](const std::string& name) {
    return IsAscii(name) ? name == host_name : CanonicalDecomposition(name) == host_name;
  };

  std::vector<std::string> pieces;
  std::string piece;
  size_t length = kHead.size() + kTail.size();
  bool written = false;
  for (std::shared_ptr<ProcessSwift>& slot : processes) {
    const std::shared_ptr<ProcessSwift> process = std::move(slot);
    if (process->localizedName && is_host(*process->localizedName)) {
      continue;
    }
    std::optional<std::string_view> invalid;
    ForEachValue(*process, [&](std::string_view /*key*/, std::string_view value) {
      if (!invalid && !IsAscii(value) && !IsValidUtf8(value)) {
        invalid = value;
      }
    });
    if (invalid) {
      Log("Error serializing JSON: " + InvalidTextMessage(*invalid), "error");
      return std::nullopt;
    }
    if (written) {
      piece.push_back(',');
    }
    written = true;
    piece.append(kObjectOpen);
    bool first = true;
    ForEachValue(*process, [&](std::string_view key, std::string_view value) {
      if (!first) {
        piece.push_back(',');
      }
      first = false;
      piece.append(kMemberIndent);
      piece.push_back('"');
      piece.append(key);
      piece.append("\": ");
      AppendQuoted(piece, value);
    });
    piece.append(kObjectClose);
    if (piece.size() >= kPieceSize) {
      piece.shrink_to_fit();
      length += piece.size();
      pieces.push_back(std::move(piece));
      piece = std::string();
    }
  }
  if (!written) {
    return std::string(kEmptyDocument);
  }
  length += piece.size();
  pieces.push_back(std::move(piece));
  ProcessList().swap(processes);

  std::string document;
  document.reserve(length);
  document.append(kHead);
  for (std::string& done : pieces) {
    document.append(done);
    std::string().swap(done);
  }
  document.append(kTail);
  return document;
}

}  // namespace osxnatives
