// NSThread sleeping: the calling thread sleeps through the C++ clock,
// resuming after interrupted sleeps until the whole interval has passed.
#include <chrono>
#include <cmath>
#include <thread>

#include "platform/ns_thread.h"
#include "platform/posix/services.h"

namespace osxnatives::platform {
namespace {

class SleepingThread : public NSThread {
 public:
  void sleepForTimeInterval(double seconds) override {
    if (!(seconds > 0) || !std::isfinite(seconds)) {
      return;
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  }
};

}  // namespace

NSThread& PosixNSThread() {
  static auto* const thread = new SleepingThread();
  return *thread;
}

}  // namespace osxnatives::platform
