// ProcessControllerSwift: pauses, kills and resumes the processes that a
// process-list document names, and reports the library's own process id.
//
// Each operation reads the document's entries in order, sends one signal per
// entry through a command object and writes one summary line through the host
// log. An entry whose process id is missing, malformed, zero or negative is
// never signalled: such ids name process groups, not one process. Neither is
// the library's own process, by its id or the id of any of its threads. Pause
// and kill count such entries as not signalled.
//
// Stateless; create one per call. Runs on the calling thread.
#ifndef OSXNATIVES_PROCESS_PROCESS_CONTROLLER_SWIFT_H_
#define OSXNATIVES_PROCESS_PROCESS_CONTROLLER_SWIFT_H_

#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "process/process_swift.h"

namespace osxnatives {

// Each command sends its one signal to `process.processID` and returns true
// exactly when it was delivered. A process id of 0 or less is refused (false,
// nothing sent). No wait, no check of the outcome, no retry.
class PauseCommand {
 public:
  bool pause(const ProcessSwift& process);  // SIGSTOP
};

class KillCommand {
 public:
  bool kill(const ProcessSwift& process);  // SIGKILL
};

class ResumeCommand {
 public:
  bool resume(const ProcessSwift& process);  // SIGCONT
};

class ProcessControllerSwift {
 public:
  virtual ~ProcessControllerSwift() = default;

  // The id of the process hosting the library. Logs nothing.
  virtual int32_t getCurrentProcessId();

  // Sends SIGSTOP to every entry of `json` and returns the records whose
  // signal failed (state `active`), in document order; every entry is named
  // in the line "Pausing processes: " at "INFO". nullopt, after one error
  // line and before any signal, when the text is not JSON or not a
  // process-list document.
  virtual std::optional<ProcessList> pauseAll(const std::string& json);

  // As pauseAll, with SIGKILL and "Killing processes: ".
  virtual std::optional<ProcessList> killAll(const std::string& json);

  // Sends SIGCONT to every entry and logs "Resuming processes: " with every
  // name; failures to deliver are ignored. A bad document logs one error line
  // and sends nothing.
  virtual void resumeAll(const std::string& json);

  // A record for one document entry: `processID` from the "pid" text (0 when
  // missing or malformed), `pid` that text (empty when missing),
  // `localizedName` the "processName" text (empty when missing or not a
  // string), `processType` windowed. Appends the name and ", " to `summary`.
  virtual std::shared_ptr<ProcessSwift> createProcess(const nlohmann::json& entry,
                                                      std::string& summary);
};

}  // namespace osxnatives

#endif  // OSXNATIVES_PROCESS_PROCESS_CONTROLLER_SWIFT_H_
