#include "platform/sim/journal.h"

#include <cerrno>
#include <cstring>

#include "platform/sim/scenario.h"

namespace osxnatives::platform::sim {

Journal::Journal(const std::string& path) {
  if (path.empty()) return;
  file_ = std::fopen(path.c_str(), "ae");
  if (file_ == nullptr) {
    Warn("cannot open journal " + path + ": " + std::strerror(errno) + "; nothing is recorded");
  }
}

Journal::~Journal() {
  if (file_ != nullptr) std::fclose(file_);
}

void Journal::Record(std::string_view service, std::string_view call, const nlohmann::json& args,
                     const nlohmann::json& extra) {
  if (file_ == nullptr) return;
  // Ordered, so that every line reads service, call, args, then the extras.
  nlohmann::ordered_json entry;
  entry["service"] = service;
  entry["call"] = call;
  entry["args"] = args.is_null() ? nlohmann::ordered_json::object() : nlohmann::ordered_json(args);
  if (extra.is_object()) {
    for (const auto& [key, value] : extra.items()) entry[key] = value;
  }
  std::string line = entry.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  line.push_back('\n');
  std::lock_guard<std::mutex> lock(mutex_);
  std::fwrite(line.data(), 1, line.size(), file_);
  std::fflush(file_);
}

}  // namespace osxnatives::platform::sim
