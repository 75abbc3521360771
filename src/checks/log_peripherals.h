// LogPeripherals: how many USB devices of one kind are attached.
#ifndef OSXNATIVES_CHECKS_LOG_PERIPHERALS_H_
#define OSXNATIVES_CHECKS_LOG_PERIPHERALS_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace osxnatives {

// Stateless; create one per call.
class LogPeripherals {
 public:
  // A product name holding this word is a built-in device.
  static constexpr char kBuiltInWord[] = "internal";

  virtual ~LogPeripherals() = default;

  // The number of "IOUSBDevice" registry entries whose "kUSBProductString",
  // lower-cased, contains `kind` and does not contain "internal". `kind` is
  // used unchanged, so only a lower-case kind ("mouse", "keyboard") can match;
  // an empty kind matches nothing. Entries whose properties cannot be read or
  // that have no string product name are skipped. Returns 0 when the devices
  // cannot be listed. Logs nothing. Runs on the calling thread.
  virtual int64_t getConnectedUSBMouseDevices(std::string_view kind);
};

// `text` lower-cased by the Unicode rules (as NSString's lowercaseString
// does), in UTF-8. Invalid UTF-8 sequences become U+FFFD.
std::string LowercaseString(std::string_view text);

}  // namespace osxnatives

#endif  // OSXNATIVES_CHECKS_LOG_PERIPHERALS_H_
