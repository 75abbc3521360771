#include "platform/linux/piped_task.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

extern char** environ;  // NOLINT(readability-redundant-declaration): POSIX leaves it undeclared

namespace osxnatives::platform {

template <>
PipedTask& Registry<PipedTask>::Default() {
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

// Owns posix_spawn's attribute and file-action objects.
struct SpawnSetup {
  posix_spawn_file_actions_t actions{};
  posix_spawnattr_t attributes{};
  bool ready = false;

  explicit SpawnSetup(int output) {
    if (posix_spawn_file_actions_init(&actions) != 0) {
      return;
    }
    if (posix_spawnattr_init(&attributes) != 0) {
      posix_spawn_file_actions_destroy(&actions);
      return;
    }
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    ready =
        posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO) == 0 &&
        posix_spawnattr_setsigmask(&attributes, &none) == 0 &&
        posix_spawnattr_setsigdefault(&attributes, &all) == 0 &&
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) == 0;
  }
  ~SpawnSetup() {
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
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

  std::vector<std::string> argv_text;
  argv_text.reserve(arguments.size() + 1);
  argv_text.push_back(executable);
  argv_text.insert(argv_text.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  argv.reserve(argv_text.size() + 1);
  for (auto& text : argv_text) {
    argv.push_back(text.data());
  }
  argv.push_back(nullptr);

  pid_t child = -1;
  {
    SpawnSetup setup(writing.get());
    if (!setup.ready) {
      return std::nullopt;
    }
    // glibc reports a failed exec (a missing or non-executable file) here, as
    // the call's result, and leaves no child behind in that case.
    if (posix_spawn(&child, executable.c_str(), &setup.actions, &setup.attributes, argv.data(),
                    environ) != 0) {
      return std::nullopt;
    }
  }
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
  while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
  }
  return output;
}

}  // namespace os
}  // namespace osxnatives::platform
