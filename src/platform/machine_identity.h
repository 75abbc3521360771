// Identity of the machine the library runs on, as the facts that tell a
// virtual machine from real hardware: on macOS `sysctlbyname`
// ("kern.hv_vmm_present", "hw.model") and the model and manufacturer of the
// `IOPlatformExpertDevice` registry entry; on Linux the DMI strings, the
// "hypervisor" CPU flag and /sys/hypervisor/type.
#ifndef OSXNATIVES_PLATFORM_MACHINE_IDENTITY_H_
#define OSXNATIVES_PLATFORM_MACHINE_IDENTITY_H_

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/registry.h"

namespace osxnatives::platform {

// What one machine fact says about virtualisation.
enum class MachineFactKind {
  // A yes/no answer of the hypervisor itself ("kern.hv_vmm_present", the
  // "hypervisor" CPU flag, a /sys/hypervisor type): true means "running under
  // a hypervisor".
  kHypervisorPresent,
  // A model or vendor name of the hardware ("hw.model", DMI "sys_vendor"):
  // virtual only when it names a known virtual machine.
  kHardwareName,
};

// One fact as read: where from, and its value or why there is none.
struct MachineFact {
  std::string source;  // what was read, e.g. "sysctlbyname" or "/proc/cpuinfo"
  std::string name;    // e.g. "kern.hv_vmm_present", "flags"
  MachineFactKind kind = MachineFactKind::kHardwareName;
  // The value (an integer for sysctl integers, a flag, or text); absent when
  // `unknownReason` says why it could not be read.
  std::variant<std::monostate, int64_t, bool, std::string> value;
  std::optional<std::string> unknownReason;
};

class MachineIdentity {
 public:
  virtual ~MachineIdentity() = default;
  // Every fact this platform has, in a fixed order, each read afresh. A fact
  // the platform cannot read is still listed, with its reason. Never throws
  // for a missing or malformed source. Thread-safe.
  virtual std::vector<MachineFact> ReadMachineFacts() = 0;
};

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_MACHINE_IDENTITY_H_
