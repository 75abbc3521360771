#include "platform/sim/os_version.h"

#include <charconv>
#include <string>

#include "platform/sim/services.h"

namespace osxnatives::platform {

OperatingSystemVersionInfo& SimOperatingSystemVersionInfo() {
  static auto* const version = new sim::SimOperatingSystemVersion(sim::Desktop::Instance());
  return *version;
}

namespace sim {

std::optional<NSOperatingSystemVersion> SimOperatingSystemVersion::Parse(std::string_view text) {
  int64_t parts[3] = {0, 0, 0};
  size_t count = 0;
  const char* position = text.data();
  const char* const end = text.data() + text.size();
  while (true) {
    if (count == 3 || position == end || *position < '0' || *position > '9') return std::nullopt;
    auto [next, error] = std::from_chars(position, end, parts[count]);
    if (error != std::errc()) return std::nullopt;
    ++count;
    position = next;
    if (position == end) break;
    if (*position != '.') return std::nullopt;
    ++position;
  }
  return NSOperatingSystemVersion{parts[0], parts[1], parts[2]};
}

SimOperatingSystemVersion::SimOperatingSystemVersion(const Desktop& desktop) {
  const nlohmann::json* value = desktop.scenario().Find("osVersion");
  if (value == nullptr) return;
  std::optional<NSOperatingSystemVersion> parsed;
  if (value->is_string()) {
    parsed = Parse(value->get<std::string>());
  } else if (value->is_number()) {
    parsed = Parse(value->dump());
  }
  if (parsed) {
    version_ = *parsed;
  } else {
    Warn(R"(scenario key "osVersion" is not a version such as "14.2"; using 14.0)");
  }
}

}  // namespace sim
}  // namespace osxnatives::platform
