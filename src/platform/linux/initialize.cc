// The Linux library: real Linux facilities where Linux has them, the
// simulated desktop for the rest.
#include "platform/initialize.h"

namespace osxnatives::platform {

void Initialize() {
  RegisterPosixServices();
  RegisterNativeServices();
  RegisterSimulatedDesktop();
}

}  // namespace osxnatives::platform
