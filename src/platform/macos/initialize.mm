// The macOS library: the real services, nothing simulated.
#include "platform/initialize.h"

namespace osxnatives::platform {

void Initialize() {
  RegisterPosixServices();
  RegisterNativeServices();
}

}  // namespace osxnatives::platform
