// ApplicationServices accessibility trust: whether the user lets this process
// control the computer through the accessibility interface.
#ifndef OSXNATIVES_PLATFORM_AX_TRUST_H_
#define OSXNATIVES_PLATFORM_AX_TRUST_H_

#include "platform/registry.h"

namespace osxnatives::platform {

class AXTrust {
 public:
  virtual ~AXTrust() = default;
  // `AXIsProcessTrustedWithOptions(options)`: `prompt` true stands for an
  // options dictionary with `kAXTrustedCheckOptionPrompt` set to
  // `kCFBooleanTrue` (the platform then asks the user when the process is not
  // trusted); false for no options. Thread-safe.
  virtual bool AXIsProcessTrustedWithOptions(bool prompt) = 0;
};

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_AX_TRUST_H_
