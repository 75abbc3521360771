#include "platform/registry.h"

#include <mutex>

#include "platform/initialize.h"

namespace osxnatives::platform {

void EnsureInitialized() {
  static std::once_flag once;
  std::call_once(once, [] { Initialize(); });
}

}  // namespace osxnatives::platform
