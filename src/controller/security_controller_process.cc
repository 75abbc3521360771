// SecurityControllerSwift: process listing, paths and control.
#include "controller/security_controller_swift.h"
#include "process/process_controller_swift.h"
#include "process/process_discovery_strategy_helper_swift.h"
#include "utility/utility_swift.h"

namespace osxnatives {

ProcessDiscoveryStrategyHelperSwift&
SecurityControllerSwift::ProcessDiscoveryStrategyHelper::shared() {
  // Never destroyed: a Java thread may still list processes while the process
  // exits.
  static auto* const helper = new ProcessDiscoveryStrategyHelperSwift();
  return *helper;
}

std::string SecurityControllerSwift::getProcessPath(const std::string& processId) {
  return ProcessDiscoveryStrategyHelper::shared().getProcessPath(processId).value_or("");
}

std::string SecurityControllerSwift::getAllProcesses(const std::string& pausePhase) {
  ProcessList processes = ProcessDiscoveryStrategyHelper::shared().getAllProcesses(pausePhase);
  return UtilitySwift::processesToJSON(std::move(processes)).value_or("");
}

std::string SecurityControllerSwift::pauseAll(const std::string& json) {
  const ProcessList failed = ProcessControllerSwift().pauseAll(json).value_or(ProcessList());
  return UtilitySwift::processesToJSON(failed).value_or("");
}

std::string SecurityControllerSwift::killAll(const std::string& json) {
  const ProcessList failed = ProcessControllerSwift().killAll(json).value_or(ProcessList());
  return UtilitySwift::processesToJSON(failed).value_or("");
}

void SecurityControllerSwift::resumeAll(const std::string& json) {
  ProcessControllerSwift().resumeAll(json);
}

}  // namespace osxnatives
