// kill and getpid on Linux: the real calls.
#include "platform/posix_process.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>

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

template <>
PosixProcess& Registry<PosixProcess>::Default() {
  static auto* const process = new RealPosixProcess();
  return *process;
}

}  // namespace osxnatives::platform
