// A host that records every callback, for tests. Thread-safe.
#ifndef OSXNATIVES_TESTS_SUPPORT_RECORDING_HOST_H_
#define OSXNATIVES_TESTS_SUPPORT_RECORDING_HOST_H_

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
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
    Add([&] { logs_.push_back({std::string(message), std::string(level)}); });
  }
  void NavigateToUrl(std::string_view url) override {
    Add([&] { urls_.emplace_back(url); });
  }
  void CloseRequest() override {
    Add([&] { ++close_requests_; });
  }

  std::vector<LogLine> logs() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return logs_;
  }
  std::vector<std::string> urls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return urls_;
  }
  int close_requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return close_requests_;
  }

  // Waits until `done` holds (evaluated under the lock after each callback),
  // or `timeout` passes. Returns whether it holds.
  bool WaitUntil(const std::function<bool(const RecordingHost&)>& done,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return done(*this); });
  }

  // Unlocked views, for predicates passed to WaitUntil.
  const std::vector<LogLine>& logs_locked() const { return logs_; }
  const std::vector<std::string>& urls_locked() const { return urls_; }
  int close_requests_locked() const { return close_requests_; }

 private:
  template <typename F>
  void Add(F&& change) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      change();
    }
    changed_.notify_all();
  }

  mutable std::mutex mutex_;
  std::condition_variable changed_;
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

}  // namespace osxnatives::testing

#endif  // OSXNATIVES_TESTS_SUPPORT_RECORDING_HOST_H_
