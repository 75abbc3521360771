// The simulated desktop's journal: every effect on the desktop, one JSON
// object per line, written and flushed when it happens.
//
//   {"service":"NSPasteboard","call":"clearContents","args":{}}
#ifndef OSXNATIVES_PLATFORM_SIM_JOURNAL_H_
#define OSXNATIVES_PLATFORM_SIM_JOURNAL_H_

#include <cstdio>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace osxnatives::platform::sim {

// Name of the environment variable that holds the journal file's path.
inline constexpr char kJournalVariable[] = "OSXNATIVES_SIM_JOURNAL";

class Journal {
 public:
  // Appends to the file at `path`; an empty path records nothing. A file that
  // cannot be opened gives one `Warn` line and records nothing.
  explicit Journal(const std::string& path);
  ~Journal();
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;

  // Appends {"service":…,"call":…,"args":…} plus the members of `extra`
  // (an object, or null for none) as one line. Thread-safe; lines are never
  // interleaved.
  void Record(std::string_view service, std::string_view call, const nlohmann::json& args,
              const nlohmann::json& extra = nullptr);

 private:
  std::mutex mutex_;
  std::FILE* file_ = nullptr;  // Guarded by mutex_.
};

}  // namespace osxnatives::platform::sim

#endif  // OSXNATIVES_PLATFORM_SIM_JOURNAL_H_
