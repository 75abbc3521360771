// The defaults of the Linux backend, each created on first call and kept until
// the process ends. Thread-safe.
#ifndef OSXNATIVES_PLATFORM_LINUX_SERVICES_H_
#define OSXNATIVES_PLATFORM_LINUX_SERVICES_H_

#include "platform/ae_assessment_session.h"
#include "platform/av_capture_discovery.h"
#include "platform/cf_network.h"
#include "platform/cf_string.h"
#include "platform/io_kit.h"
#include "platform/libproc.h"
#include "platform/machine_identity.h"
#include "platform/ns_log.h"
#include "platform/ns_property_list_serialization.h"
#include "platform/ns_task.h"
#include "platform/ns_task_pipe.h"
#include "platform/ns_workspace_notifications.h"
#include "platform/own_process.h"
#include "platform/sysctl.h"

namespace osxnatives::platform {

// Reports the framework missing, with the reason.
AEAssessment& LinuxAEAssessment();
LibProc& LinuxLibProc();
PipedTask& LinuxPipedTask();
Sysctl& LinuxSysctl();
NSPropertyListSerialization& LinuxNSPropertyListSerialization();
CFNetwork& LinuxCFNetwork();
SystemLog& LinuxSystemLog();
NSTask& LinuxNSTask();
IORegistry& LinuxIORegistry();
CFStringText& LinuxCFStringText();
// A thread id names its whole process: the thread group decides.
OwnProcess& LinuxOwnProcess();
MachineIdentity& LinuxMachineIdentity();
AVCaptureDeviceDiscovery& LinuxAVCaptureDeviceDiscovery();
NSWorkspaceNotifications& LinuxNSWorkspaceNotifications();

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_LINUX_SERVICES_H_
