#include "platform/sim/desktop.h"

#include <cstdlib>

namespace osxnatives::platform::sim {

Desktop::Desktop(Scenario scenario, const std::string& journal_path)
    : scenario_(std::move(scenario)), journal_(journal_path) {}

Desktop& Desktop::Instance() {
  static Desktop* const desktop = [] {
    const char* journal = std::getenv(kJournalVariable);
    // Never destroyed: platform threads may still record while the process
    // exits.
    return new Desktop(Scenario::FromEnvironment(), journal != nullptr ? journal : "");
  }();
  return *desktop;
}

}  // namespace osxnatives::platform::sim
