// The names the integrity report looks for, kept as data in one place: the
// processes and bundle identifiers of device bridges, the hardware names of
// virtual machines and the names of virtual cameras.
#ifndef OSXNATIVES_INTEGRITY_KNOWN_NAMES_H_
#define OSXNATIVES_INTEGRITY_KNOWN_NAMES_H_

#include <optional>
#include <span>
#include <string_view>

namespace osxnatives::integrity {

// A service that brings another device's screen, input or display into this
// session, and the processes that do its work.
struct DeviceBridge {
  std::string_view name;  // e.g. "iPhone Mirroring"
  std::span<const std::string_view> processNames;
  std::span<const std::string_view> bundleIdentifiers;
};

std::span<const DeviceBridge> DeviceBridges();

// The first known virtual-machine marker that `text` holds (compared without
// regard to ASCII case), e.g. "VMware" in "VMware, Inc."; nullopt when none.
std::optional<std::string_view> VirtualMachineMarker(std::string_view text);

// The same for virtual cameras and camera bridges (e.g. "OBS Virtual Camera",
// "v4l2loopback").
std::optional<std::string_view> VirtualCameraMarker(std::string_view text);

}  // namespace osxnatives::integrity

#endif  // OSXNATIVES_INTEGRITY_KNOWN_NAMES_H_
