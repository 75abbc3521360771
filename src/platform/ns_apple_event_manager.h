// NSAppleEventManager and NSAppleEventDescriptor: Apple events that the
// operating system sends to the application (such as "open this URL"), and the
// handlers installed for them.
#ifndef OSXNATIVES_PLATFORM_NS_APPLE_EVENT_MANAGER_H_
#define OSXNATIVES_PLATFORM_NS_APPLE_EVENT_MANAGER_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/registry.h"

namespace osxnatives::platform {

// A four-character code (AEEventClass, AEEventID, AEKeyword), big-endian.
using FourCharCode = uint32_t;

// The code of the four ASCII characters of `text`.
constexpr FourCharCode MakeFourCharCode(const char (&text)[5]) {
  return (static_cast<FourCharCode>(static_cast<unsigned char>(text[0])) << 24) |
         (static_cast<FourCharCode>(static_cast<unsigned char>(text[1])) << 16) |
         (static_cast<FourCharCode>(static_cast<unsigned char>(text[2])) << 8) |
         static_cast<FourCharCode>(static_cast<unsigned char>(text[3]));
}

// The four characters of `code`, for journals and messages.
inline std::string FourCharCodeText(FourCharCode code) {
  return {static_cast<char>(code >> 24), static_cast<char>((code >> 16) & 0xFF),
          static_cast<char>((code >> 8) & 0xFF), static_cast<char>(code & 0xFF)};
}

// An Apple event or one of its parameters. A value type; copies share the
// parameters.
class NSAppleEventDescriptor {
 public:
  // The null descriptor: no string value, no parameters.
  NSAppleEventDescriptor() = default;

  // `+descriptorWithString:`.
  static NSAppleEventDescriptor descriptorWithString(std::string text) {
    NSAppleEventDescriptor descriptor;
    descriptor.string_value_ = std::move(text);
    return descriptor;
  }
  // An Apple event of the given class and identifier, without parameters.
  static NSAppleEventDescriptor appleEventWithEventClass(FourCharCode eventClass,
                                                         FourCharCode eventID) {
    NSAppleEventDescriptor descriptor;
    descriptor.event_class_ = eventClass;
    descriptor.event_id_ = eventID;
    return descriptor;
  }

  FourCharCode eventClass() const { return event_class_; }
  FourCharCode eventID() const { return event_id_; }

  // `-setParamDescriptor:forKeyword:`; replaces an earlier one.
  void setParamDescriptor(const NSAppleEventDescriptor& descriptor, FourCharCode keyword) {
    for (auto& [key, value] : params_) {
      if (key == keyword) {
        value = std::make_shared<const NSAppleEventDescriptor>(descriptor);
        return;
      }
    }
    params_.emplace_back(keyword, std::make_shared<const NSAppleEventDescriptor>(descriptor));
  }
  // `-paramDescriptorForKeyword:`: nullopt when the event has no such
  // parameter.
  std::optional<NSAppleEventDescriptor> paramDescriptorForKeyword(FourCharCode keyword) const {
    for (const auto& [key, value] : params_) {
      if (key == keyword) return *value;
    }
    return std::nullopt;
  }
  // `-stringValue`: nullopt when the descriptor cannot be read as text.
  const std::optional<std::string>& stringValue() const { return string_value_; }

 private:
  FourCharCode event_class_ = 0;
  FourCharCode event_id_ = 0;
  std::optional<std::string> string_value_;
  std::vector<std::pair<FourCharCode, std::shared_ptr<const NSAppleEventDescriptor>>> params_;
};

// The handler the platform calls with an event and the reply to fill in; the
// stand-in for a (target, selector) pair.
using AppleEventHandler =
    std::function<void(const NSAppleEventDescriptor& event, NSAppleEventDescriptor& reply)>;

class NSAppleEventManager {
 public:
  virtual ~NSAppleEventManager() = default;

  // `[[NSAppleEventManager sharedAppleEventManager]
  // setEventHandler:andSelector:forEventClass:andEventID:]`. One handler per
  // (class, identifier) pair: a later one replaces the earlier. The platform
  // calls it on its main thread. It keeps `handler`; whatever `handler` refers
  // to must outlive it or be captured weakly. Thread-safe.
  virtual void setEventHandler(AppleEventHandler handler, FourCharCode eventClass,
                               FourCharCode eventID) = 0;
};

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_NS_APPLE_EVENT_MANAGER_H_
