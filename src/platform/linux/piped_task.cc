#include "platform/linux/piped_task.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/linux/services.h"
#include "platform/posix/spawn.h"

namespace osxnatives::platform {

PipedTask& LinuxPipedTask() {
  static auto* const task = new os::PosixPipedTask();
  return *task;
}

namespace os {
namespace {

// Owns a file descriptor.
class Descriptor {
 public:
  Descriptor() = default;
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() { Reset(); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  [[nodiscard]] int get() const { return fd_; }
  void Reset() {
    if (fd_ >= 0) {
      close(fd_);
    }
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

}  // namespace

std::optional<std::string> PosixPipedTask::LaunchAndReadToEndOfFile(
    const std::string& executable, const std::vector<std::string>& arguments) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) {
    return std::nullopt;
  }
  Descriptor reading(ends[0]);
  Descriptor writing(ends[1]);

  const auto spawned = SpawnChild(executable, arguments, writing.get());
  if (spawned.index() != 0) {
    return std::nullopt;
  }
  const pid_t child = std::get<0>(spawned);
  // Only the child may hold the writing end now, so end of file comes when it
  // (and whatever it started that inherited the output) has closed it.
  writing.Reset();

  std::string output;
  char buffer[4096];
  for (;;) {
    const ssize_t count = read(reading.get(), buffer, sizeof buffer);
    if (count > 0) {
      output.append(buffer, static_cast<size_t>(count));
    } else if (count == 0 || errno != EINTR) {
      break;
    }
  }
  reading.Reset();
  // Collect the child whatever happened above. ECHILD means it was collected
  // already (SIGCHLD ignored); there is nothing left to wait for then.
  WaitForChild(child);
  return output;
}

}  // namespace os
}  // namespace osxnatives::platform
