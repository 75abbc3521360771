// The macOS library: the real services, nothing simulated.
#if !__has_feature(objc_arc)
#error "This file is built with automatic reference counting (-fobjc-arc)."
#endif

#include "platform/initialize.h"

namespace osxnatives::platform {

void Initialize() {
  RegisterPosixServices();
  RegisterNativeServices();
}

}  // namespace osxnatives::platform
