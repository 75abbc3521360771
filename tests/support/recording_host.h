// A host that records every callback, for tests. Thread-safe.
#ifndef OSXNATIVES_TESTS_SUPPORT_RECORDING_HOST_H_
#define OSXNATIVES_TESTS_SUPPORT_RECORDING_HOST_H_

#include <mutex>
#include <string>
#include <vector>

#include "common/host.h"

namespace osxnatives::testing {

struct LogLine {
  std::string message;
  std::string level;
  bool operator==(const LogLine&) const = default;
};

class RecordingHost : public HostCallbacks {
 public:
  void Log(std::string_view message, std::string_view level) override {
    std::lock_guard<std::mutex> lock(mutex_);
    logs_.push_back({std::string(message), std::string(level)});
  }
  void NavigateToUrl(std::string_view url) override {
    std::lock_guard<std::mutex> lock(mutex_);
    urls_.emplace_back(url);
  }
  void CloseRequest() override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++close_requests_;
  }

  std::vector<LogLine> logs() const { return Locked(logs_); }
  std::vector<std::string> urls() const { return Locked(urls_); }
  int close_requests() const { return Locked(close_requests_); }

 private:
  template <typename T>
  T Locked(const T& field) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return field;
  }

  mutable std::mutex mutex_;
  std::vector<LogLine> logs_;
  std::vector<std::string> urls_;
  int close_requests_ = 0;
};

// Installs a RecordingHost for the lifetime of a test.
class ScopedRecordingHost : public RecordingHost {
 public:
  ScopedRecordingHost() : scope_(this) {}

 private:
  ScopedHost scope_;
};

// The INFO lines with these messages, in order.
inline std::vector<LogLine> InfoLines(const std::vector<std::string>& messages) {
  std::vector<LogLine> lines;
  lines.reserve(messages.size());
  for (const auto& message : messages) lines.push_back({message, "INFO"});
  return lines;
}

}  // namespace osxnatives::testing

#endif  // OSXNATIVES_TESTS_SUPPORT_RECORDING_HOST_H_
