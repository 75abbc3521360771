#include "process/process_discovery_strategy_helper_swift.h"

#include <stdexcept>
#include <utility>

namespace osxnatives {

ProcessDiscoveryStrategyHelperSwift::ProcessDiscoveryStrategyHelperSwift()
    : strategy_(std::make_shared<SCProcessDiscoverySwift>()) {}

std::shared_ptr<SCProcessDiscoverySwift> ProcessDiscoveryStrategyHelperSwift::strategy() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return strategy_;
}

void ProcessDiscoveryStrategyHelperSwift::setStrategy(
    std::shared_ptr<SCProcessDiscoverySwift> strategy) {
  if (strategy == nullptr) {
    throw std::invalid_argument("discovery strategy must not be null");
  }
  std::lock_guard<std::mutex> lock(mutex_);
  strategy_ = std::move(strategy);
}

std::optional<std::string> ProcessDiscoveryStrategyHelperSwift::getProcessPath(
    const std::string& processId) {
  return strategy()->getProcessPath(processId);
}

ProcessList ProcessDiscoveryStrategyHelperSwift::getAllProcesses(const std::string& pausePhase) {
  return strategy()->getAllProcesses(pausePhase);
}

}  // namespace osxnatives
