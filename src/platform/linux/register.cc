#include "platform/initialize.h"
#include "platform/linux/services.h"

namespace osxnatives::platform {

void RegisterNativeServices() {
  SetDefault<AEAssessment>(&LinuxAEAssessment);
  SetDefault<LibProc>(&LinuxLibProc);
  SetDefault<PipedTask>(&LinuxPipedTask);
  SetDefault<Sysctl>(&LinuxSysctl);
  SetDefault<NSPropertyListSerialization>(&LinuxNSPropertyListSerialization);
  SetDefault<CFNetwork>(&LinuxCFNetwork);
  SetDefault<SystemLog>(&LinuxSystemLog);
  SetDefault<NSTask>(&LinuxNSTask);
  SetDefault<IORegistry>(&LinuxIORegistry);
  SetDefault<CFStringText>(&LinuxCFStringText);
  SetDefault<OwnProcess>(&LinuxOwnProcess);
  SetDefault<MachineIdentity>(&LinuxMachineIdentity);
  SetDefault<AVCaptureDeviceDiscovery>(&LinuxAVCaptureDeviceDiscovery);
  SetDefault<NSWorkspaceNotifications>(&LinuxNSWorkspaceNotifications);
}

}  // namespace osxnatives::platform
