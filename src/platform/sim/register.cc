#include "platform/initialize.h"
#include "platform/sim/desktop.h"
#include "platform/sim/integrity.h"
#include "platform/sim/network_usb.h"
#include "platform/sim/services.h"

namespace osxnatives::platform {

void RegisterSimulatedDesktop() {
  SetDefault<AVCaptureDevice>(&SimAVCaptureDevice);
  SetDefault<AEAssessment>(&SimAEAssessment);
  SetDefault<AXTrust>(&SimAXTrust);
  SetDefault<NSBundle>(&SimNSBundle);
  SetDefault<CGDisplay>(&SimCGDisplay);
  SetDefault<NSScreen>(&SimNSScreen);
  SetDefault<NSEvent>(&SimNSEvent);
  SetDefault<NSAppleEventManager>(&SimNSAppleEventManager);
  SetDefault<ApplicationMain>(&SimApplicationMain);
  SetDefault<NSUserNotificationCenter>(&SimNSUserNotificationCenter);
  SetDefault<OperatingSystemVersionInfo>(&SimOperatingSystemVersionInfo);
  SetDefault<NSApplication>(&SimNSApplication);
  SetDefault<NSPasteboard>(&SimNSPasteboard);
  SetDefault<NSUserDefaults>(&SimNSUserDefaults);
  SetDefault<CFBundles>(&SimCFBundles);
  SetDefault<CGWindowList>(&SimCGWindowList);
  SetDefault<NSWorkspace>(&SimNSWorkspace);
  SetDefault<CGDisplayProperties>(&SimCGDisplayProperties);
  SetDefault<NSWindowSharing>(&SimNSWindowSharing);

  // The scenario may stand in for the machine's interfaces and USB devices.
  const sim::Scenario& scenario = sim::Desktop::Instance().scenario();
  if (auto settings = sim::ProxySettingsFromScenario(scenario)) {
    SetDefault<CFNetwork>(settings.release());
  }
  if (auto registry = sim::UsbRegistryFromScenario(scenario)) {
    SetDefault<IORegistry>(registry.release());
  }
  // And for the machine's identity, cameras and application launches.
  if (auto machine = sim::MachineIdentityFromScenario(scenario)) {
    SetDefault<MachineIdentity>(machine.release());
  }
  if (auto cameras = sim::CaptureDevicesFromScenario(scenario)) {
    SetDefault<AVCaptureDeviceDiscovery>(cameras.release());
  }
  if (auto launches = sim::LaunchesFromScenario(sim::Desktop::Instance())) {
    SetDefault<NSWorkspaceNotifications>(launches.release());
  }
}

}  // namespace osxnatives::platform
