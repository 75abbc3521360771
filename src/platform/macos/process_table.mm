// The kernel's process table (sysctl KERN_PROC_ALL) and executable paths
// (proc_pidpath) on macOS.
#if !__has_feature(objc_arc)
#error "This file is built with automatic reference counting (-fobjc-arc)."
#endif

#include <libproc.h>
#include <sys/sysctl.h>
#include <sys/types.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "platform/libproc.h"
#include "platform/macos/services.h"
#include "platform/sysctl.h"

namespace osxnatives::platform::macos {
namespace {

static_assert(kCommandNameSize == sizeof(::kinfo_proc{}.kp_proc.p_comm),
              "the command name field must match the kernel's");
static_assert(kProcPidPathInfoMaxSize == PROC_PIDPATHINFO_MAXSIZE);

class KernelProcessTable : public Sysctl {
 public:
  int KernProcAll(KinfoProc* table, size_t* count) override {
    int name[] = {CTL_KERN, KERN_PROC, KERN_PROC_ALL, 0};
    if (table == nullptr) {
      size_t bytes = 0;
      if (sysctl(name, 3, nullptr, &bytes, nullptr, 0) != 0) return errno;
      *count = bytes / sizeof(::kinfo_proc);
      return 0;
    }
    // A buffer of no records would turn the read into a size query; the
    // table always holds at least this process.
    if (*count == 0) return ENOMEM;
    const size_t records =
        std::min(*count, std::numeric_limits<size_t>::max() / sizeof(::kinfo_proc));
    std::vector<::kinfo_proc> kernel;
    try {
      kernel.resize(records);
    } catch (const std::bad_alloc&) {
      // Not ENOMEM: that tells the caller the table grew, and it would ask
      // again for as much as failed here.
      return ENOBUFS;
    }
    size_t bytes = records * sizeof(::kinfo_proc);
    if (sysctl(name, 3, kernel.data(), &bytes, nullptr, 0) != 0) return errno;
    const size_t filled = bytes / sizeof(::kinfo_proc);
    for (size_t i = 0; i < filled; ++i) {
      KinfoProc& record = table[i];
      record.p_pid = kernel[i].kp_proc.p_pid;
      record.e_ppid = kernel[i].kp_eproc.e_ppid;
      std::memcpy(record.p_comm.data(), kernel[i].kp_proc.p_comm, kCommandNameSize);
    }
    *count = filled;
    return 0;
  }
};

class KernelLibProc : public LibProc {
 public:
  int proc_pidpath(int32_t pid, char* buffer, uint32_t size) override {
    if (size == 0) return 0;
    // The kernel refuses buffers outside [PROC_PIDPATHINFO_SIZE,
    // PROC_PIDPATHINFO_MAXSIZE]; read into one of the largest size and copy
    // what fits.
    if (size == PROC_PIDPATHINFO_MAXSIZE) return ::proc_pidpath(pid, buffer, size);
    char path[PROC_PIDPATHINFO_MAXSIZE] = {};
    const int length = ::proc_pidpath(pid, path, sizeof path);
    if (length <= 0 || static_cast<uint32_t>(length) >= size) return 0;
    std::memcpy(buffer, path, static_cast<size_t>(length) + 1);
    return length;
  }
};

}  // namespace

void RegisterProcessTable() {
  SetDefault<Sysctl>(new KernelProcessTable());
  SetDefault<LibProc>(new KernelLibProc());
}

}  // namespace osxnatives::platform::macos
