// The defaults of the simulated desktop, each created on first call from the
// process-wide `Desktop` and kept until the process ends. Thread-safe.
#ifndef OSXNATIVES_PLATFORM_SIM_SERVICES_H_
#define OSXNATIVES_PLATFORM_SIM_SERVICES_H_

#include "platform/ae_assessment_session.h"
#include "platform/av_capture_device.h"
#include "platform/ax_trust.h"
#include "platform/cf_bundle.h"
#include "platform/cg_display.h"
#include "platform/cg_window_list.h"
#include "platform/ns_apple_event_manager.h"
#include "platform/ns_application.h"
#include "platform/ns_application_main.h"
#include "platform/ns_bundle.h"
#include "platform/ns_event.h"
#include "platform/ns_operating_system_version.h"
#include "platform/ns_pasteboard.h"
#include "platform/ns_user_defaults.h"
#include "platform/ns_user_notification_center.h"
#include "platform/ns_window_sharing.h"
#include "platform/ns_workspace.h"

namespace osxnatives::platform {

AVCaptureDevice& SimAVCaptureDevice();
AEAssessment& SimAEAssessment();
AXTrust& SimAXTrust();
NSBundle& SimNSBundle();
CGDisplay& SimCGDisplay();
CGDisplayProperties& SimCGDisplayProperties();
NSScreen& SimNSScreen();
NSEvent& SimNSEvent();
NSAppleEventManager& SimNSAppleEventManager();
ApplicationMain& SimApplicationMain();
NSUserNotificationCenter& SimNSUserNotificationCenter();
OperatingSystemVersionInfo& SimOperatingSystemVersionInfo();
NSApplication& SimNSApplication();
NSPasteboard& SimNSPasteboard();
NSUserDefaults& SimNSUserDefaults();
CFBundles& SimCFBundles();
CGWindowList& SimCGWindowList();
NSWorkspace& SimNSWorkspace();
NSWindowSharing& SimNSWindowSharing();

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_SIM_SERVICES_H_
