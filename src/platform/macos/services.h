// Registration of the macOS services, one function per source file of this folder.
// Each makes its services the process-wide defaults; call once, at start-up, on any thread.
#ifndef OSXNATIVES_PLATFORM_MACOS_SERVICES_H_
#define OSXNATIVES_PLATFORM_MACOS_SERVICES_H_

namespace osxnatives::platform::macos {

void RegisterProcessTable();        // process_table.mm: Sysctl, LibProc
void RegisterWorkspace();           // workspace.mm: NSWorkspace
void RegisterWindowList();          // window_list.mm: CGWindowList
void RegisterApplication();         // application.mm: NSApplication, NSPasteboard, NSUserDefaults
void RegisterEvents();              // events.mm: NSEvent, NSAppleEventManager, ApplicationMain
void RegisterDisplays();            // displays.mm: CGDisplay, NSScreen
void RegisterPrivateFunctions();    // bundles.mm: CFBundles
void RegisterSystem();              // system.mm: NSBundle, SystemLog, OperatingSystemVersionInfo
void RegisterNotificationCenter();  // notification_center.mm: NSUserNotificationCenter
void RegisterTasks();               // tasks.mm: NSTask, PipedTask
void RegisterFiles();               // files.mm: NSFileManager, NSPropertyListSerialization
void RegisterAuthorization();       // authorization.mm: AVCaptureDevice, AXTrust
void RegisterNetworkAndUsb();       // network_usb.mm: CFNetwork, IORegistry
void RegisterText();                // text.mm: CFStringText
void RegisterAssessment();          // assessment.mm: AEAssessment
// integrity.mm: MachineIdentity, CGDisplayProperties, AVCaptureDeviceDiscovery,
// NSWindowSharing, NSWorkspaceNotifications
void RegisterIntegrity();

}  // namespace osxnatives::platform::macos

#endif  // OSXNATIVES_PLATFORM_MACOS_SERVICES_H_
