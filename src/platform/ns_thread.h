// NSThread: pausing the calling thread.
#ifndef OSXNATIVES_PLATFORM_NS_THREAD_H_
#define OSXNATIVES_PLATFORM_NS_THREAD_H_

#include "platform/registry.h"

namespace osxnatives::platform {

class NSThread {
 public:
  virtual ~NSThread() = default;
  // `[NSThread sleepForTimeInterval:seconds]`: blocks the calling thread for
  // at least `seconds` (not at all for zero, less, or a value that is not
  // finite). Thread-safe.
  virtual void sleepForTimeInterval(double seconds) = 0;
};

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_NS_THREAD_H_
