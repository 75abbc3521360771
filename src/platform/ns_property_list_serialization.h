// NSPropertyListSerialization: property lists to and from bytes.
//
// A property list is represented as JSON: dictionaries as objects, arrays as
// arrays, strings, booleans and reals as such, integers as signed 64-bit
// integers (a value above INT64_MAX in a file reads as its two's-complement
// negative), dates as {"$date": seconds since 2001 as text} and data as
// {"$data": base64 text}.
#ifndef OSXNATIVES_PLATFORM_NS_PROPERTY_LIST_SERIALIZATION_H_
#define OSXNATIVES_PLATFORM_NS_PROPERTY_LIST_SERIALIZATION_H_

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "platform/registry.h"

namespace osxnatives::platform {

struct PropertyListResult {
  // The parsed root, or nullopt when the bytes are not a property list.
  std::optional<nlohmann::json> plist;
  // The description of the parse error when `plist` is nullopt.
  std::string error;
};

class NSPropertyListSerialization {
 public:
  virtual ~NSPropertyListSerialization() = default;
  // `propertyListWithData:options:0 format:nil error:`: XML or binary.
  // Thread-safe.
  virtual PropertyListResult propertyListWithData(std::string_view data) = 0;
  // `dataWithPropertyList:format:NSPropertyListXMLFormat_v1_0 options:0
  // error:` for a dictionary of integers, reals, booleans, strings, arrays and
  // dictionaries. Thread-safe.
  virtual std::string xmlDataWithPropertyList(const nlohmann::json& plist) = 0;
};

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_NS_PROPERTY_LIST_SERIALIZATION_H_
