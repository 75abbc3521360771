// proc_pidpath on Linux: the target of /proc/<pid>/exe.
#include "platform/libproc.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "platform/linux/services.h"

namespace osxnatives::platform {
namespace {

class ProcLibProc : public LibProc {
 public:
  // Keeps /proc open for the life of the process, so that each look-up walks
  // only "<pid>/exe".
  ProcLibProc() : proc_fd_(open("/proc", O_PATH | O_DIRECTORY | O_CLOEXEC)) {}

  int proc_pidpath(int32_t pid, char* buffer, uint32_t size) override {
    if (pid <= 0 || size == 0 || proc_fd_ < 0) {
      return 0;
    }
    char link[32];
    std::snprintf(link, sizeof link, "%d/exe", pid);
    const ssize_t length = readlinkat(proc_fd_, link, buffer, size - 1);
    if (length <= 0) {
      return 0;
    }
    buffer[length] = '\0';
    return static_cast<int>(length);
  }

 private:
  const int proc_fd_;
};

}  // namespace

LibProc& LinuxLibProc() {
  static auto* const libproc = new ProcLibProc();
  return *libproc;
}

}  // namespace osxnatives::platform
