// SCProcessDiscoverySwift: lists every process on the machine as ProcessSwift
// records and finds a process's executable path.
//
// Stateless: every call reads the platform afresh and nothing is cached, so
// calls from several threads at once do not interfere. Each operation is
// virtual so that a test or another strategy can replace one step.
#ifndef OSXNATIVES_PROCESS_SC_PROCESS_DISCOVERY_SWIFT_H_
#define OSXNATIVES_PROCESS_SC_PROCESS_DISCOVERY_SWIFT_H_

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/sysctl.h"
#include "process/process_swift.h"

namespace osxnatives {

// One process as read from the kernel table, before it becomes a record: an
// unordered dictionary from key to text. Keys: kEntryPidKey (decimal id),
// kEntryNameKey (name), kEntryBundleIDKey (bundle identifier, or the name),
// kEntryParentNameKey (parent application's name, or empty).
//
// Kept flat, as an entry has four members and a listing holds one entry per
// process at once: a quarter of the memory of a hash map.
class DiscoveryEntry {
 public:
  using value_type = std::pair<std::string, std::string>;
  using iterator = std::vector<value_type>::iterator;

  DiscoveryEntry() = default;
  // The first of repeated keys wins.
  DiscoveryEntry(std::initializer_list<value_type> members);

  // The member under `key`, or end().
  iterator find(std::string_view key);
  iterator begin() { return members_.begin(); }
  iterator end() { return members_.end(); }
  // The text under `key`, added empty when absent.
  std::string& operator[](std::string_view key);
  // Removes the member under `key`; returns how many were removed (0 or 1).
  size_t erase(std::string_view key);

 private:
  std::vector<value_type> members_;
};
inline constexpr char kEntryPidKey[] = "pid";
inline constexpr char kEntryNameKey[] = "pname";
inline constexpr char kEntryBundleIDKey[] = "bundleID";
inline constexpr char kEntryParentNameKey[] = "ppname";

// The pause phase whose windowed test uses the on-screen window list.
inline constexpr char kPeriodicPausePhase[] = "PERIODIC";

class SCProcessDiscoverySwift {
 public:
  // Window-list option bits of the "PERIODIC" phase: on screen above and
  // below the (null) relative window, including it.
  static constexpr uint32_t kPeriodicWindowListOptions = 14;
  // Logged at "ERROR" when the kernel table cannot be read.
  static constexpr char kTableErrorMessage[] = "Error getting process information";

  SCProcessDiscoverySwift() = default;
  virtual ~SCProcessDiscoverySwift() = default;

  // The executable path of the process that `processId` names (read as
  // `atoi` reads it); nullopt when the process does not exist or may not be
  // inspected. Bytes that are not UTF-8 become U+FFFD.
  virtual std::optional<std::string> getProcessPath(const std::string& processId);

  // Every process, in kernel table order, one record per process id, state
  // `active`, `windowed` when it owns a window of the list that
  // `pausePhase` selects, `nonWindow` otherwise. Empty (after one "ERROR"
  // line) when the kernel table cannot be read. Never fails.
  virtual ProcessList getAllProcesses(const std::string& pausePhase);

  // The owner ids of the windows in the list that `pausePhase` selects, in
  // list order, repeats kept. Windows whose owner is missing or not an exact
  // 32-bit integer are left out. Empty when the list is unavailable.
  virtual std::vector<int32_t> getWindowOwnerPids(const std::string& pausePhase);

  // One entry per distinct process id of the kernel table, in table order
  // (the first record of a repeated id wins). Empty, after logging
  // kTableErrorMessage at "ERROR", when the table cannot be read.
  virtual std::vector<DiscoveryEntry> getProcessEntries();

  // Reads the kernel table into `table` and its record count into `count`.
  // Asks for the size, then reads; reads again, as often as needed, while the
  // table grew in between. Returns 0, or the error code of the failing call
  // (then `table` is empty and `count` 0).
  virtual int32_t getKernelProcessTable(std::vector<platform::KinfoProc>& table, size_t& count);
};

}  // namespace osxnatives

#endif  // OSXNATIVES_PROCESS_SC_PROCESS_DISCOVERY_SWIFT_H_
