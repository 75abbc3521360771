// Feeds arbitrary bytes to the hot key list reader of the settings file. The
// entries must join back to the list with ",", and an entry must give an id
// exactly when it is a decimal number with an optional sign that fits 32 bits
// (checked with strtoll), the id then printing back as that number.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "input/input_handler_swift.h"

namespace {

using osxnatives::InputHandlerSwift;

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
  }
}

// The id strtoll reads from `entry`, when the whole entry is an optional sign
// and digits and the number fits 32 bits.
std::optional<int32_t> Reference(const std::string& entry) {
  const size_t first = entry.empty() || (entry[0] != '+' && entry[0] != '-') ? 0 : 1;
  if (first == entry.size()) return std::nullopt;
  for (size_t i = first; i < entry.size(); ++i) {
    if (entry[i] < '0' || entry[i] > '9') return std::nullopt;
  }
  errno = 0;
  const long long value = std::strtoll(entry.c_str(), nullptr, 10);
  if (errno == ERANGE || value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view list(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> entries = InputHandlerSwift::hotKeyListEntries(list);
  std::string joined;
  size_t commas = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (i > 0) joined.push_back(',');
    joined += entries[i];
    commas += entries[i].find(',') == std::string::npos ? 0 : 1;
  }
  Check(joined == list, "entries do not join back to the list");
  Check(commas == 0, "an entry holds a comma");

  for (const std::string& entry : entries) {
    const std::optional<int32_t> id = InputHandlerSwift::hotKeyId(entry);
    Check(id == Reference(entry), "id differs from strtoll's");
    if (id) Check(InputHandlerSwift::hotKeyId(std::to_string(*id)) == id, "id does not print back");
  }
  return 0;
}
