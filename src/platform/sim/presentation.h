// Simulated application object, pasteboard and user defaults.
#ifndef OSXNATIVES_PLATFORM_SIM_PRESENTATION_H_
#define OSXNATIVES_PLATFORM_SIM_PRESENTATION_H_

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/ns_application.h"
#include "platform/ns_pasteboard.h"
#include "platform/ns_user_defaults.h"
#include "platform/sim/desktop.h"

namespace osxnatives::platform::sim {

// Journals "NSApplication" "setPresentationOptions:" {"options"} and
// "yieldActivationToApplication:" {"bundleIdentifier"}. The key window's title
// is the scenario's "keyWindowTitle" (no key window when absent).
class SimApplication : public NSApplication {
 public:
  explicit SimApplication(Desktop& desktop);
  void SetPresentationOptions(uint64_t options) override;
  uint64_t PresentationOptions() const override { return options_.load(); }
  std::optional<std::string> KeyWindowTitle() const override { return key_window_title_; }
  void YieldActivationToApplication(const RunningApplication& application) override;

 private:
  Desktop& desktop_;
  const std::optional<std::string> key_window_title_;
  std::atomic<uint64_t> options_{kPresentationDefault};
};

// Journals "NSPasteboard" "clearContents" {}. Counts the clears.
class SimPasteboard : public NSPasteboard {
 public:
  explicit SimPasteboard(Desktop& desktop) : desktop_(desktop) {}
  void ClearContents() override;
  int clear_count() const { return clear_count_.load(); }

 private:
  Desktop& desktop_;
  std::atomic<int> clear_count_{0};
};

// Keeps written integers in memory and journals "NSUserDefaults"
// "setInteger:forKey:" {"domain","key","value"}. Refuses "NSGlobalDomain" and
// the current application's bundle identifier, as macOS does.
class SimUserDefaults : public NSUserDefaults {
 public:
  explicit SimUserDefaults(Desktop& desktop);
  std::unique_ptr<UserDefaultsSuite> InitWithSuiteName(std::string_view suite) override;

  // The integer stored under (`suite`, `key`), or nullopt. Thread-safe.
  std::optional<int64_t> IntegerFor(const std::string& suite, const std::string& key) const;

 private:
  class Suite;
  Desktop& desktop_;
  std::string own_bundle_identifier_;
  mutable std::mutex mutex_;
  std::map<std::pair<std::string, std::string>, int64_t> values_;  // Guarded by mutex_.
};

}  // namespace osxnatives::platform::sim

#endif  // OSXNATIVES_PLATFORM_SIM_PRESENTATION_H_
