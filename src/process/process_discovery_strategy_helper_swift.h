// ProcessDiscoveryStrategyHelperSwift: the one way the rest of the system
// asks for the list of processes or a process's path, so that callers never
// name the discovery strategy.
#ifndef OSXNATIVES_PROCESS_PROCESS_DISCOVERY_STRATEGY_HELPER_SWIFT_H_
#define OSXNATIVES_PROCESS_PROCESS_DISCOVERY_STRATEGY_HELPER_SWIFT_H_

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "process/process_swift.h"
#include "process/sc_process_discovery_swift.h"

namespace osxnatives {

class ProcessDiscoveryStrategyHelperSwift {
 public:
  // Holds a new SCProcessDiscoverySwift.
  ProcessDiscoveryStrategyHelperSwift();
  virtual ~ProcessDiscoveryStrategyHelperSwift() = default;
  ProcessDiscoveryStrategyHelperSwift(const ProcessDiscoveryStrategyHelperSwift&) = delete;
  ProcessDiscoveryStrategyHelperSwift& operator=(const ProcessDiscoveryStrategyHelperSwift&) =
      delete;

  // The strategy in use; never null. Thread-safe.
  virtual std::shared_ptr<SCProcessDiscoverySwift> strategy() const;
  // Replaces the strategy; the next request goes to `strategy` (must not be
  // null). Thread-safe; a request already running finishes on the old one.
  virtual void setStrategy(std::shared_ptr<SCProcessDiscoverySwift> strategy);

  // The strategy's answer, unchanged.
  virtual std::optional<std::string> getProcessPath(const std::string& processId);
  virtual ProcessList getAllProcesses(const std::string& pausePhase);

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<SCProcessDiscoverySwift> strategy_;  // Guarded by mutex_.
};

}  // namespace osxnatives

#endif  // OSXNATIVES_PROCESS_PROCESS_DISCOVERY_STRATEGY_HELPER_SWIFT_H_
