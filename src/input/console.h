// Lines the input lockdown prints on the process's standard output (its
// errors go there, not to the Java log).
#ifndef OSXNATIVES_INPUT_CONSOLE_H_
#define OSXNATIVES_INPUT_CONSOLE_H_

#include <cstdio>
#include <string>
#include <string_view>

namespace osxnatives {

// Writes `text` and a line feed to standard output in one call and flushes.
// Thread-safe.
inline void PrintLine(std::string_view text) {
  std::string line(text);
  line.push_back('\n');
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}

}  // namespace osxnatives

#endif  // OSXNATIVES_INPUT_CONSOLE_H_
