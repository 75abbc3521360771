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

// Where a thread id is no process id (macOS), our own id is all there is.
class ProcessIdOwnProcess : public OwnProcess {
 public:
  bool contains(int32_t id) override { return id > 0 && id == ::getpid(); }
};

}  // namespace

OwnProcess& PosixOwnProcess() {
  static auto* const own = new ProcessIdOwnProcess();
  return *own;
}

PosixProcess& PosixSignals() {
  static auto* const process = new RealPosixProcess();
  return *process;
}

}  // namespace osxnatives::platform
