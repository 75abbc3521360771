// NSBundle: the information dictionary (Info.plist) of the host application's
// main bundle.
#ifndef OSXNATIVES_PLATFORM_NS_BUNDLE_H_
#define OSXNATIVES_PLATFORM_NS_BUNDLE_H_

#include <nlohmann/json.hpp>

#include "platform/registry.h"

namespace osxnatives::platform {

class NSBundle {
 public:
  virtual ~NSBundle() = default;
  // `[[NSBundle mainBundle] infoDictionary]` as a JSON object (empty when the
  // bundle has none). Property-list strings, integers, reals, booleans, arrays
  // and dictionaries keep their JSON types; dates and data become objects of
  // the form {"$date": text} and {"$data": base64 text}, so that they are
  // never mistaken for strings. Thread-safe.
  virtual nlohmann::json infoDictionary() = 0;
};

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_NS_BUNDLE_H_
