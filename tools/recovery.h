// The work of osxnatives-recover, callable from its main and from tests: parse
// the command line, then restore every lockdown left under
// "Application Support/Trevant" through the library's own classes.
#ifndef OSXNATIVES_TOOLS_RECOVERY_H_
#define OSXNATIVES_TOOLS_RECOVERY_H_

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/host.h"
#include "input/console.h"

namespace osxnatives::recover {

// Exit statuses.
inline constexpr int kDone = 0;    // everything found restored, or nothing to do
inline constexpr int kFailed = 1;  // something stays on disk, or the lock stayed held
inline constexpr int kUsage = 2;   // bad usage
inline constexpr long kDefaultWaitSeconds = 10;

struct Options {
  std::optional<std::string> bundleName;
  bool dryRun = false;
  std::chrono::milliseconds wait{kDefaultWaitSeconds * 1000};
};

// Log lines of the library, in plain words on standard output.
class ConsoleHost : public HostCallbacks {
 public:
  void Log(std::string_view message, std::string_view level) override {
    if (level == "INFO") {
      PrintLine(message);
    } else {
      PrintLine(std::string(level == "error" ? "ERROR" : level) + ": " + std::string(message));
    }
  }
  void NavigateToUrl(std::string_view /*url*/) override {}
  void CloseRequest() override {}
};

// Parses the arguments (without the program name) into `options`; returns an
// exit status when the program should stop at once (--help and --version
// print their text on standard output, bad usage a line on standard error).
std::optional<int> Parse(const std::vector<std::string_view>& args, Options& options);

// Takes the settings lock and restores (or, dry, previews) every settings
// file and leftover copy found; one line of plain words per step on standard
// output. Returns the exit status. Throws only what allocation throws.
int Run(const Options& options);

}  // namespace osxnatives::recover

#endif  // OSXNATIVES_TOOLS_RECOVERY_H_
