// The simulated desktop: in-memory stand-ins for the macOS services that Linux
// does not have, started from a scenario and observed through a journal.
//
// The process-wide desktop reads `OSXNATIVES_SIM_SCENARIO` and
// `OSXNATIVES_SIM_JOURNAL` once, on first use (the bridge touches it when the
// library loads). Tests build desktops of their own and hand them to the
// simulated services they construct.
#ifndef OSXNATIVES_PLATFORM_SIM_DESKTOP_H_
#define OSXNATIVES_PLATFORM_SIM_DESKTOP_H_

#include <string>

#include "platform/sim/journal.h"
#include "platform/sim/scenario.h"

namespace osxnatives::platform::sim {

class Desktop {
 public:
  // `journal_path` may be empty (record nothing).
  Desktop(Scenario scenario, const std::string& journal_path);
  Desktop(const Desktop&) = delete;
  Desktop& operator=(const Desktop&) = delete;

  // The process-wide desktop, created from the environment on first call.
  // Thread-safe; lives until the process ends.
  static Desktop& Instance();

  const Scenario& scenario() const { return scenario_; }
  Journal& journal() { return journal_; }

 private:
  const Scenario scenario_;
  Journal journal_;
};

}  // namespace osxnatives::platform::sim

#endif  // OSXNATIVES_PLATFORM_SIM_DESKTOP_H_
