// sysctl KERN_PROC_ALL: the kernel's table of every process on the machine.
#ifndef OSXNATIVES_PLATFORM_SYSCTL_H_
#define OSXNATIVES_PLATFORM_SYSCTL_H_

#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/registry.h"

namespace osxnatives::platform {

// `MAXCOMLEN + 1`: the command name field of a process record.
inline constexpr size_t kCommandNameSize = 17;

// The fields of one `struct kinfo_proc` that process discovery reads.
struct KinfoProc {
  int32_t p_pid = 0;   // kp_proc.p_pid
  int32_t e_ppid = 0;  // kp_eproc.e_ppid
  // kp_proc.p_comm: the command name as the kernel keeps it, cut to fit and
  // zero-padded. Not necessarily valid UTF-8.
  std::array<char, kCommandNameSize> p_comm{};
};

class Sysctl {
 public:
  virtual ~Sysctl() = default;

  // `sysctl({CTL_KERN, KERN_PROC, KERN_PROC_ALL}, 3, table, &size, NULL, 0)`,
  // sized in records instead of bytes.
  //
  // With `table` null, sets `*count` to the number of records a read would
  // need now (possibly more) and returns 0. Otherwise fills at most `*count`
  // records of `table` (owned by the caller), sets `*count` to the number
  // written and returns 0; returns ENOMEM when the table no longer fits.
  // Returns the errno value when the table cannot be read at all.
  // Thread-safe.
  virtual int KernProcAll(KinfoProc* table, size_t* count) = 0;
};

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_SYSCTL_H_
