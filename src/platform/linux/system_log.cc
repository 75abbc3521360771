// NSLog on Linux: standard error, in NSLog's own line format
// ("2026-01-31 12:00:00.000 name[pid:tid] text").
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>

#include "platform/linux/services.h"
#include "platform/ns_log.h"

namespace osxnatives::platform {
namespace {

class StandardErrorLog : public SystemLog {
 public:
  void Write(std::string_view text) override {
    using std::chrono::system_clock;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    char prefix[96];
    std::snprintf(prefix, sizeof prefix, "%s.%03lld OSXNatives[%d:%ld] ", stamp,
                  static_cast<long long>(millis), static_cast<int>(getpid()),
                  static_cast<long>(syscall(SYS_gettid)));
    std::string line = prefix;
    line.append(text);
    if (line.back() != '\n') line.push_back('\n');
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
  }
};

}  // namespace

SystemLog& LinuxSystemLog() {
  static auto* const log = new StandardErrorLog();
  return *log;
}

}  // namespace osxnatives::platform
