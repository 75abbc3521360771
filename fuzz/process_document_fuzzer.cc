// The process-list document reader, through pause, kill and resume with a
// `kill` that only records: no process id of 0 or less is ever signalled, and
// pause and kill answer exactly for the documents the reader accepts, with one
// record per entry.
#include <cstdint>
#include <string>

#include "check.h"
#include "platform/posix_process.h"
#include "process/process_controller_swift.h"
#include "process/process_document.h"

namespace {

class RecordingKill : public osxnatives::platform::PosixProcess {
 public:
  int kill(int32_t pid, int /*signal*/) override {
    Check(pid > 0, "signal sent to a process id of 0 or less");
    return -1;  // never delivered: every entry comes back
  }
  int32_t getpid() override { return 1; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static RecordingKill recording_kill;
  static osxnatives::platform::ScopedOverride<osxnatives::platform::PosixProcess> use_kill(
      &recording_kill);
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto document = osxnatives::ProcessDocument::Read(text);
  osxnatives::ProcessControllerSwift controller;
  const auto paused = controller.pauseAll(text);
  const auto killed = controller.killAll(text);
  controller.resumeAll(text);
  const bool readable = document.failure() == osxnatives::ProcessDocument::Failure::kNone;
  Check(paused.has_value() == readable && killed.has_value() == readable,
        "pause/kill disagree with the reader");
  Check(!readable || paused->size() == document.entries().size(), "a record went missing");
  return 0;
}
