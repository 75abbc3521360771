// The test program's composition on a Mac: the simulated desktop over the real
// macOS backend, so that no test hides the developer's Dock, switches off
// their hot keys or captures their displays.
#include "platform/initialize.h"

namespace osxnatives::platform {

void Initialize() {
  RegisterPosixServices();
  RegisterNativeServices();
  RegisterSimulatedDesktop();
}

}  // namespace osxnatives::platform
