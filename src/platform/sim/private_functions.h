// Simulated framework bundles holding the private hot key and Dock functions,
// with the state those functions change: which symbolic hot keys are enabled
// and which action each hot corner has.
#ifndef OSXNATIVES_PLATFORM_SIM_PRIVATE_FUNCTIONS_H_
#define OSXNATIVES_PLATFORM_SIM_PRIVATE_FUNCTIONS_H_

#include <array>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "platform/cf_bundle.h"
#include "platform/sim/desktop.h"

namespace osxnatives::platform::sim {

// Two bundles exist: kCoreGraphicsBundlePath with "CGSIsSymbolicHotKeyEnabled"
// and "CGSSetSymbolicHotKeyEnabled", and kHIServicesBundlePath with
// "CoreDockSetExposeCornerAction". A path is accepted with or without a
// trailing "/" or a "file://" prefix.
//
// Scenario keys:
//   "symbolicHotKeys": {"disabled": [ids]}: hot keys disabled at the start;
//       every other id is enabled.
//   "privateFunctions": {"missingBundles": [paths], "unloadableBundles":
//       [paths], "missingFunctions": [names]}: a missing bundle cannot be
//       created; an unloadable one is created but its executable does not load
//       and it yields no function; a missing function is absent from its
//       bundle.
//
// The setter journals "CGSSetSymbolicHotKeyEnabled"
// "CGSSetSymbolicHotKeyEnabled" {"id", "enabled"}; the corner function
// journals "CoreDockSetExposeCornerAction" "CoreDockSetExposeCornerAction"
// {"action", "corner"}. The probe journals nothing.
class SimPrivateFunctions : public CFBundles {
 public:
  explicit SimPrivateFunctions(Desktop& desktop);

  std::unique_ptr<CFBundleRef> CFBundleCreate(std::string_view bundle_path) override;

  // Current state, for tests and the demo. Thread-safe.
  bool hotKeyEnabled(int32_t id) const;
  // The action last set for corner 0 to 3, nullopt before any.
  std::optional<int32_t> cornerAction(int corner) const;

 private:
  class Bundle;
  int32_t IsEnabled(int32_t id) const { return hotKeyEnabled(id) ? 1 : 0; }
  int32_t SetEnabled(int32_t id, bool enabled);
  int32_t SetCorner(int32_t action, int32_t corner);

  Desktop& desktop_;
  std::set<std::string> missing_bundles_;
  std::set<std::string> unloadable_bundles_;
  std::set<std::string> missing_functions_;
  mutable std::mutex mutex_;
  std::set<int32_t> disabled_;                       // Guarded by mutex_.
  std::array<std::optional<int32_t>, 4> corners_{};  // Guarded by mutex_.
};

}  // namespace osxnatives::platform::sim

#endif  // OSXNATIVES_PLATFORM_SIM_PRIVATE_FUNCTIONS_H_
