// ProcessSwift: the record through which the process subsystem speaks of one
// process, with its state and type enumerations and their texts.
//
// Records are shared by reference (`std::shared_ptr`); a change to a record's
// `state` is seen by every holder. Records are not locked: a list is built and
// consumed on one thread.
#ifndef OSXNATIVES_PROCESS_PROCESS_SWIFT_H_
#define OSXNATIVES_PROCESS_PROCESS_SWIFT_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace osxnatives {

// What process control last did to a process.
enum class ProcessState { active, paused, terminated, killed };

// Whether a process owns windows.
enum class ProcessType { windowed, nonWindow };

// The text of a state or type in a process-list document: "ACTIVE", "PAUSE",
// "TERMINATE", "KILLED"; "WINDOW", "NONWINDOW".
std::string_view DocumentText(ProcessState state);
std::string_view DocumentText(ProcessType type);

// The case name as written in code: "active", "paused", …; "windowed",
// "nonWindow".
std::string_view CaseName(ProcessState state);
std::string_view CaseName(ProcessType type);

// Carried by a record's `processAction`; nothing sets one.
class ProcessAction {};

// One process. Every property is plain data, readable and writable; a fresh
// record holds the defaults below. No value equality: two records are the
// same only if they are the same object.
struct ProcessSwift {
  std::optional<std::string> localizedName;      // display name
  std::optional<std::string> bundleID;           // application bundle identifier
  std::optional<std::string> pid;                // process id as decimal text
  int32_t processID = 0;                         // process id as a number
  ProcessState state = ProcessState::active;     // what process control last did
  std::shared_ptr<ProcessAction> processAction;  // never set
  ProcessType processType = ProcessType::windowed;
  std::optional<std::string> parentProcessName;  // parent application's name
  std::optional<std::string> processPath;        // executable path

  // "Process(name: <localizedName or Unknown>, pid: <pid or Unknown>, state:
  // <case name>, processType: <case name>)".
  [[nodiscard]] std::string description() const;
};

using ProcessList = std::vector<std::shared_ptr<ProcessSwift>>;

}  // namespace osxnatives

#endif  // OSXNATIVES_PROCESS_PROCESS_SWIFT_H_
