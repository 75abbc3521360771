#include "process/process_swift.h"

namespace osxnatives {

std::string_view DocumentText(ProcessState state) {
  switch (state) {
    case ProcessState::active:
      return "ACTIVE";
    case ProcessState::paused:
      return "PAUSE";
    case ProcessState::terminated:
      return "TERMINATE";
    case ProcessState::killed:
      return "KILLED";
  }
  return "ACTIVE";
}

std::string_view DocumentText(ProcessType type) {
  return type == ProcessType::nonWindow ? "NONWINDOW" : "WINDOW";
}

std::string_view CaseName(ProcessState state) {
  switch (state) {
    case ProcessState::active:
      return "active";
    case ProcessState::paused:
      return "paused";
    case ProcessState::terminated:
      return "terminated";
    case ProcessState::killed:
      return "killed";
  }
  return "active";
}

std::string_view CaseName(ProcessType type) {
  return type == ProcessType::nonWindow ? "nonWindow" : "windowed";
}

std::string ProcessSwift::description() const {
  std::string text = "Process(name: ";
  text += localizedName.value_or("Unknown");
  text += ", pid: ";
  text += pid.value_or("Unknown");
  text += ", state: ";
  text += CaseName(state);
  text += ", processType: ";
  text += CaseName(processType);
  text += ")";
  return text;
}

}  // namespace osxnatives
