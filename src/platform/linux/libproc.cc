// proc_pidpath on Linux: the target of /proc/<pid>/exe.
#include "platform/libproc.h"

#include <unistd.h>

#include <cstdio>

namespace osxnatives::platform {
namespace {

class ProcLibProc : public LibProc {
 public:
  int proc_pidpath(int32_t pid, char* buffer, uint32_t size) override {
    if (pid <= 0 || size == 0) return 0;
    char link[32];
    std::snprintf(link, sizeof link, "/proc/%d/exe", pid);
    const ssize_t length = readlink(link, buffer, size - 1);
    if (length <= 0) return 0;
    buffer[length] = '\0';
    return static_cast<int>(length);
  }
};

}  // namespace

template <>
LibProc& Registry<LibProc>::Default() {
  static auto* const libproc = new ProcLibProc();
  return *libproc;
}

}  // namespace osxnatives::platform
