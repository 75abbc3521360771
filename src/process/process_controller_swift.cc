#include "process/process_controller_swift.h"

#include <csignal>
#include <string_view>

#include "common/host.h"
#include "platform/own_process.h"
#include "platform/posix_process.h"
#include "process/pid_text.h"
#include "process/process_document.h"

namespace osxnatives {
namespace {

constexpr char kPidMember[] = "pid";
constexpr char kNameMember[] = "processName";

// Sends `signal` to the one process the record names. Ids of 0 or less would
// reach process groups or every process, and the library's own id, or the id
// of one of its threads, would stop or end the exam browser itself: none of
// them is ever signalled.
bool Signal(const ProcessSwift& process, int signal) {
  auto& posix = platform::Get<platform::PosixProcess>();
  if (process.processID <= 0 || process.processID == posix.getpid() ||
      platform::Get<platform::OwnProcess>().contains(process.processID)) {
    return false;
  }
  return posix.kill(process.processID, signal) == 0;
}

// How pause and kill differ: the command they run and the lines they write.
struct SignalRun {
  bool (*send)(const ProcessSwift&);
  ProcessState delivered_state;
  std::string_view parse_failure_prefix;  // at "error"
  std::string_view structure_message;
  std::string_view structure_level;
  std::string_view summary_prefix;  // at "INFO"
};

constexpr SignalRun kPauseRun{
    [](const ProcessSwift& p) { return PauseCommand().pause(p); },
    ProcessState::paused,
    "Process json conversion failed for PAUSE with error: ",
    "Process json conversion failed for PAUSE with error.",
    "ERROR",
    "Pausing processes: ",
};

constexpr SignalRun kKillRun{
    [](const ProcessSwift& p) { return KillCommand().kill(p); },
    ProcessState::killed,
    "Process json conversion failed for KILL with error: ",
    "Process json conversion failed for KILL with error",
    "error",
    "Killing processes: ",
};

std::optional<ProcessList> Run(ProcessControllerSwift& controller, const SignalRun& run,
                               const std::string& json) {
  const ProcessDocument document = ProcessDocument::Read(json);
  switch (document.failure()) {
    case ProcessDocument::Failure::kParse:
      Log(std::string(run.parse_failure_prefix) + document.parse_error(), "error");
      return std::nullopt;
    case ProcessDocument::Failure::kStructure:
      Log(run.structure_message, run.structure_level);
      return std::nullopt;
    case ProcessDocument::Failure::kNone:
      break;
  }
  ProcessList failed;
  std::string summary;
  for (const nlohmann::json& entry : document.entries()) {
    std::shared_ptr<ProcessSwift> process = controller.createProcess(entry, summary);
    if (run.send(*process)) {
      process->state = run.delivered_state;
    } else {
      failed.push_back(std::move(process));
    }
  }
  Log(std::string(run.summary_prefix) + summary, "INFO");
  return failed;
}

}  // namespace

bool PauseCommand::pause(const ProcessSwift& process) { return Signal(process, SIGSTOP); }

bool KillCommand::kill(const ProcessSwift& process) { return Signal(process, SIGKILL); }

bool ResumeCommand::resume(const ProcessSwift& process) { return Signal(process, SIGCONT); }

int32_t ProcessControllerSwift::getCurrentProcessId() {
  return platform::Get<platform::PosixProcess>().getpid();
}

std::optional<ProcessList> ProcessControllerSwift::pauseAll(const std::string& json) {
  return Run(*this, kPauseRun, json);
}

std::optional<ProcessList> ProcessControllerSwift::killAll(const std::string& json) {
  return Run(*this, kKillRun, json);
}

void ProcessControllerSwift::resumeAll(const std::string& json) {
  const ProcessDocument document = ProcessDocument::Read(json);
  switch (document.failure()) {
    case ProcessDocument::Failure::kParse:
      Log("Process json conversion failed for RESUME with error: " + document.parse_error(),
          "error");
      return;
    case ProcessDocument::Failure::kStructure:
      Log("Process json conversion failed for RESUME with error", "error");
      return;
    case ProcessDocument::Failure::kNone:
      break;
  }
  std::string summary;
  for (const nlohmann::json& entry : document.entries()) {
    const std::string pid = ProcessDocument::StringMember(entry, kPidMember).value_or("");
    const std::string name = ProcessDocument::StringMember(entry, kNameMember).value_or("");
    ResumeCommand command;
    summary += name;
    summary += ", ";
    ProcessSwift process;
    process.processID = ParsePidText(pid).value_or(0);
    process.pid = pid;
    command.resume(process);
  }
  Log("Resuming processes: " + summary, "INFO");
}

std::shared_ptr<ProcessSwift> ProcessControllerSwift::createProcess(const nlohmann::json& entry,
                                                                    std::string& summary) {
  const std::string pid = ProcessDocument::StringMember(entry, kPidMember).value_or("");
  std::string name = ProcessDocument::StringMember(entry, kNameMember).value_or("");
  summary += name;
  summary += ", ";
  auto process = std::make_shared<ProcessSwift>();
  process->processID = ParsePidText(pid).value_or(0);
  process->pid = pid;
  process->localizedName = std::move(name);
  process->processType = ProcessType::windowed;
  return process;
}

}  // namespace osxnatives
