// NSLog: the platform's system log, used only where the host cannot be reached.
#ifndef OSXNATIVES_PLATFORM_NS_LOG_H_
#define OSXNATIVES_PLATFORM_NS_LOG_H_

#include <string_view>

#include "platform/registry.h"

namespace osxnatives::platform {

class SystemLog {
 public:
  virtual ~SystemLog() = default;
  // Writes one entry; a trailing newline in `text` is not doubled.
  // Thread-safe.
  virtual void Write(std::string_view text) = 0;
};

// `NSLog(@"%@", text)`.
inline void NSLog(std::string_view text) { Get<SystemLog>().Write(text); }

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_NS_LOG_H_
