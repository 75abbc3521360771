#include "platform/initialize.h"
#include "platform/sim/desktop.h"
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

  // The scenario may stand in for the machine's interfaces and USB devices.
  const sim::Scenario& scenario = sim::Desktop::Instance().scenario();
  if (auto settings = sim::ProxySettingsFromScenario(scenario)) {
    SetDefault<CFNetwork>(settings.release());
  }
  if (auto registry = sim::UsbRegistryFromScenario(scenario)) {
    SetDefault<IORegistry>(registry.release());
  }
}

}  // namespace osxnatives::platform
