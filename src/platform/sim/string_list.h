// Lists of strings in the scenario that stand in for what the machine reports
// ("networkInterfaces", "usbProducts").
#ifndef OSXNATIVES_PLATFORM_SIM_STRING_LIST_H_
#define OSXNATIVES_PLATFORM_SIM_STRING_LIST_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sim/scenario.h"

namespace osxnatives::platform::sim {

// The array under `key`, one element per string entry and a nullopt element
// per JSON null entry, in order. Returns nullopt when the key is absent, or
// when it is not an array (one `Warn` line; the caller then uses what the
// machine reports). Entries of another type are left out with one `Warn` line
// each.
std::optional<std::vector<std::optional<std::string>>> StringList(const Scenario& scenario,
                                                                  std::string_view key);

}  // namespace osxnatives::platform::sim

#endif  // OSXNATIVES_PLATFORM_SIM_STRING_LIST_H_
