#if !__has_feature(objc_arc)
#error "This file is built with automatic reference counting (-fobjc-arc)."
#endif

#include "platform/initialize.h"
#include "platform/macos/services.h"

namespace osxnatives::platform {

void RegisterNativeServices() {
  macos::RegisterProcessTable();
  macos::RegisterWorkspace();
  macos::RegisterWindowList();
  macos::RegisterApplication();
  macos::RegisterEvents();
  macos::RegisterDisplays();
  macos::RegisterPrivateFunctions();
  macos::RegisterSystem();
  macos::RegisterNotificationCenter();
  macos::RegisterTasks();
  macos::RegisterFiles();
  macos::RegisterAuthorization();
  macos::RegisterNetworkAndUsb();
  macos::RegisterText();
  macos::RegisterAssessment();
  macos::RegisterIntegrity();
}

}  // namespace osxnatives::platform
