// Whether a process id names this process: its own id or the id of one of its
// threads. Where a thread id is a valid target for `kill` (Linux), signalling
// it reaches the whole process, so the guard against signalling ourselves
// must know every id that leads back here.
#ifndef OSXNATIVES_PLATFORM_OWN_PROCESS_H_
#define OSXNATIVES_PLATFORM_OWN_PROCESS_H_

#include <cstdint>

#include "platform/registry.h"

namespace osxnatives::platform {

class OwnProcess {
 public:
  virtual ~OwnProcess() = default;
  // True when `id` is this process's id or the id of one of its threads, and
  // also when the platform cannot tell (a guard must then refuse). False for
  // ids of 0 or less. Thread-safe.
  virtual bool contains(int32_t id) = 0;
};

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_OWN_PROCESS_H_
