// kill and getpid: the real calls.
#include "platform/posix_process.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "platform/posix/services.h"

namespace osxnatives::platform {
namespace {

class RealPosixProcess : public PosixProcess {
 public:
  int kill(int32_t pid, int signal) override {
    if (pid <= 0) {
      errno = EINVAL;
      return -1;
    }
    return ::kill(pid, signal);
  }
  int32_t getpid() override { return ::getpid(); }
};

}  // namespace

PosixProcess& PosixSignals() {
  static auto* const process = new RealPosixProcess();
  return *process;
}

}  // namespace osxnatives::platform
