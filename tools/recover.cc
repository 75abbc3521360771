// osxnatives-recover: brings the user's desktop back after a lockdown that
// never ended (the browser crashed or was killed during an exam).
//
// It performs the unlock of the input handler for every settings file a
// lockdown left behind, through the library's own classes: restore the hot
// corners and hot keys from the file and delete it, run the four unlock
// commands, release the displays. A lockdown killed before its settings file
// was complete left a copy instead (its write-ahead record, or the settings
// writer's complete temporary file): that copy is restored the same way. It takes the settings lock
// first, so it never runs at the same time as a lockdown, an unlock or another copy of itself; a
// running exam holds that lock for its whole length.
#include <cstdio>
#include <exception>
#include <optional>
#include <string_view>
#include <vector>

#include "tools/recovery.h"

int main(int argc, char** argv) {
  using namespace osxnatives::recover;  // NOLINT(google-build-using-namespace)
  try {
    std::vector<std::string_view> args(argv + 1, argv + argc);
    Options options;
    if (std::optional<int> status = Parse(args, options)) {
      return *status;
    }
    ConsoleHost host;
    osxnatives::ScopedHost installed(&host);
    return Run(options);
  } catch (const std::exception& error) {
    // Out of memory and the like: nothing the tool could finish safely.
    std::fprintf(stderr, "osxnatives-recover: %s\n", error.what());
    return 1;
  } catch (...) {
    std::fputs("osxnatives-recover: unexpected failure\n", stderr);
    return 1;
  }
}
