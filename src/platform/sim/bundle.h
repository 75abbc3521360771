// Simulated main bundle: the property list named by the scenario's "infoPlist"
// (XML or binary), with "currentApplication.bundleName" as "CFBundleName" and
// "currentApplication.bundleIdentifier" as "CFBundleIdentifier" when given.
#ifndef OSXNATIVES_PLATFORM_SIM_BUNDLE_H_
#define OSXNATIVES_PLATFORM_SIM_BUNDLE_H_

#include <string>

#include "platform/ns_bundle.h"
#include "platform/sim/desktop.h"

namespace osxnatives::platform::sim {

class SimBundle : public NSBundle {
 public:
  // Reads the property list once. An unreadable file, or one whose root is
  // not a dictionary, gives one `Warn` line and an empty dictionary.
  explicit SimBundle(Desktop& desktop);
  nlohmann::json infoDictionary() override { return info_; }

 private:
  nlohmann::json info_ = nlohmann::json::object();
};

}  // namespace osxnatives::platform::sim

#endif  // OSXNATIVES_PLATFORM_SIM_BUNDLE_H_
