// NSTask on Linux: posix_spawn of the launch path with the host's environment
// and standard streams, then waitpid until the child has exited.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "platform/ns_task.h"

extern char** environ;  // NOLINT(readability-redundant-declaration): POSIX leaves it undeclared

namespace osxnatives::platform {
namespace {

class SpawnTask : public NSTask {
 public:
  TaskOutcome launchAndWait(const std::string& launch_path,
                            const std::vector<std::string>& arguments) override {
    TaskOutcome outcome;
    std::vector<char*> argv;
    std::string program = launch_path;
    std::vector<std::string> owned(arguments);
    argv.push_back(program.data());
    for (std::string& argument : owned) {
      argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    // The child starts with no blocked signals and default dispositions, so
    // that the host's (a JVM's) signal set-up does not leak into the shell.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t all;
    sigfillset(&all);
    sigdelset(&all, SIGKILL);
    sigdelset(&all, SIGSTOP);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = 0;
    const int spawn_error =
        posix_spawn(&pid, launch_path.c_str(), nullptr, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    if (spawn_error != 0) {
      outcome.error = "cannot launch " + launch_path + ": " + std::strerror(spawn_error);
      return outcome;
    }
    outcome.launched = true;
    int status = 0;
    pid_t waited = 0;
    do {
      waited = waitpid(pid, &status, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited < 0) {
      // Only when the host ignores SIGCHLD: the kernel reaped the child itself.
      outcome.error = std::string("cannot wait for ") + launch_path + ": " + std::strerror(errno);
      return outcome;
    }
    if (WIFSIGNALED(status)) {
      outcome.terminatedBySignal = true;
      outcome.terminationStatus = WTERMSIG(status);
    } else {
      outcome.terminationStatus = WEXITSTATUS(status);
    }
    return outcome;
  }
};

}  // namespace

template <>
NSTask& Registry<NSTask>::Default() {
  static auto* const task = new SpawnTask();
  return *task;
}

}  // namespace osxnatives::platform
