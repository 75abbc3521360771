#include "integrity/known_names.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace osxnatives::integrity {
namespace {

using namespace std::string_view_literals;

// Process names as the kernel lists them (a Mac keeps 16 bytes of a command
// name, Linux 15; longer names are matched by what is kept) and bundle
// identifiers as NSRunningApplication reports them.
constexpr std::array kMirroringProcesses = {"iPhone Mirroring"sv, "ScreenContinuityAgent"sv};
constexpr std::array kMirroringBundles = {"com.apple.ScreenContinuity"sv};
constexpr std::array kUniversalControlProcesses = {"UniversalControl"sv};
constexpr std::array kUniversalControlBundles = {"com.apple.universalcontrol"sv};
constexpr std::array kSidecarProcesses = {"SidecarRelay"sv, "SidecarDisplayAgent"sv};
constexpr std::array kSidecarBundles = {"com.apple.sidecar.display.agent"sv,
                                        "com.apple.SidecarDisplayAgent"sv};
constexpr std::array kAirPlayProcesses = {"AirPlayXPCHelper"sv, "AirPlayUIAgent"sv};
constexpr std::array kAirPlayBundles = {"com.apple.AirPlayUIAgent"sv};

constexpr std::array<DeviceBridge, 4> kBridges = {{
    {"iPhone Mirroring", kMirroringProcesses, kMirroringBundles},
    {"Universal Control", kUniversalControlProcesses, kUniversalControlBundles},
    {"Sidecar", kSidecarProcesses, kSidecarBundles},
    {"AirPlay receiver", kAirPlayProcesses, kAirPlayBundles},
}};

// Hardware names of virtual machines: Apple's Virtualization framework
// ("VirtualMac2,1"), the common hypervisors' DMI vendors and products.
constexpr std::array kVirtualMachineMarkers = {"VirtualMac"sv,
                                               "VMware"sv,
                                               "VirtualBox"sv,
                                               "innotek"sv,
                                               "QEMU"sv,
                                               "KVM"sv,
                                               "Parallels"sv,
                                               "Xen"sv,
                                               "Bochs"sv,
                                               "BHYVE"sv,
                                               "Virtual Machine"sv,
                                               "Hyper-V"sv,
                                               "Apple Virtualization"sv};

constexpr std::array kVirtualCameraMarkers = {
    "OBS Virtual"sv, "Virtual Camera"sv, "VirtualCam"sv, "v4l2loopback"sv, "Snap Camera"sv,
    "ManyCam"sv,     "CamTwist"sv,       "mmhmm"sv,      "XSplit"sv,       "NDI Virtual"sv,
    "EpocCam"sv,     "DroidCam"sv,       "iVCam"sv,      "Reincubate"sv};

bool ContainsIgnoringCase(std::string_view text, std::string_view part) {
  return std::search(text.begin(), text.end(), part.begin(), part.end(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) ==
                  std::tolower(static_cast<unsigned char>(b));
         }) != text.end();
}

template <size_t N>
std::optional<std::string_view> FirstMarker(const std::array<std::string_view, N>& markers,
                                            std::string_view text) {
  for (std::string_view marker : markers) {
    if (ContainsIgnoringCase(text, marker)) return marker;
  }
  return std::nullopt;
}

}  // namespace

std::span<const DeviceBridge> DeviceBridges() { return kBridges; }

std::optional<std::string_view> VirtualMachineMarker(std::string_view text) {
  return FirstMarker(kVirtualMachineMarkers, text);
}

std::optional<std::string_view> VirtualCameraMarker(std::string_view text) {
  return FirstMarker(kVirtualCameraMarkers, text);
}

}  // namespace osxnatives::integrity
