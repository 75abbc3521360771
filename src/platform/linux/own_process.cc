// OwnProcess on Linux: a thread id is also a process id for `kill`, so an id
// is ours when its thread group ("Tgid" in /proc/<id>/status) is our pid.
#include "platform/own_process.h"

#include <unistd.h>

#include <fstream>
#include <string>

#include "platform/linux/services.h"

namespace osxnatives::platform {
namespace {

class ThreadGroupOwnProcess : public OwnProcess {
 public:
  bool contains(int32_t id) override {
    if (id <= 0) {
      return false;
    }
    const pid_t self = ::getpid();
    if (id == self) {
      return true;
    }
    std::ifstream status("/proc/" + std::to_string(id) + "/status");
    for (std::string line; std::getline(status, line);) {
      if (line.rfind("Tgid:", 0) == 0) {
        try {
          return std::stol(line.substr(5)) == self;
        } catch (const std::exception&) {
          return true;  // a status line we cannot read: refuse
        }
      }
    }
    // No such task. Without /proc we could not have told, so refuse then.
    return !std::ifstream("/proc/self/status").good();
  }
};

}  // namespace

OwnProcess& LinuxOwnProcess() {
  static auto* const own = new ThreadGroupOwnProcess();
  return *own;
}

}  // namespace osxnatives::platform
