// Feeds arbitrary bytes to the process-list document reader, through pause,
// kill and resume with a `kill` that only records. Fails when a process id of
// 0 or less would have been signalled, when the returned records do not match
// the document's entries, or when the records cannot be written back as a
// document the reader accepts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/posix_process.h"
#include "process/process_controller_swift.h"
#include "process/process_document.h"
#include "utility/utility_swift.h"

namespace {

using osxnatives::ProcessDocument;

class RecordingKill : public osxnatives::platform::PosixProcess {
 public:
  int kill(int32_t pid, int /*signal*/) override {
    if (pid <= 0) {
      std::fprintf(stderr, "signal sent to process id %d\n", pid);
      std::abort();
    }
    return -1;  // never delivered: every entry comes back
  }
  int32_t getpid() override { return 1; }
};

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static RecordingKill recording_kill;
  static osxnatives::platform::ScopedOverride<osxnatives::platform::PosixProcess> use_kill(
      &recording_kill);

  const std::string text(reinterpret_cast<const char*>(data), size);
  const ProcessDocument document = ProcessDocument::Read(text);
  osxnatives::ProcessControllerSwift controller;
  const auto paused = controller.pauseAll(text);
  const auto killed = controller.killAll(text);
  controller.resumeAll(text);

  const bool readable = document.failure() == ProcessDocument::Failure::kNone;
  Check(paused.has_value() == readable && killed.has_value() == readable,
        "pause/kill disagree with the reader");
  if (!readable) return 0;
  Check(paused->size() == document.entries().size(), "a record went missing");

  // Records with an empty name are left out when the host has no name.
  size_t named = 0;
  for (const auto& process : *paused) named += process->localizedName->empty() ? 0 : 1;
  if (paused->empty()) return 0;
  const auto written = osxnatives::UtilitySwift::processesToJSON(*paused);
  Check(written.has_value(), "records from a document could not be written");
  const ProcessDocument reread = ProcessDocument::Read(*written);
  Check(reread.failure() == ProcessDocument::Failure::kNone || named == 0,
        "written document not accepted back");
  if (named > 0) Check(reread.entries().size() == named, "written document lost entries");
  return 0;
}
