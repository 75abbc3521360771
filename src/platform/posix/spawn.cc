#include "platform/posix/spawn.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

extern char** environ;  // NOLINT(readability-redundant-declaration): POSIX leaves it undeclared

namespace osxnatives::platform::os {

std::variant<pid_t, int> SpawnChild(const std::string& path,
                                    const std::vector<std::string>& arguments,
                                    std::optional<int> output) {
  std::vector<std::string> argv_text;
  argv_text.reserve(arguments.size() + 1);
  argv_text.push_back(path);
  argv_text.insert(argv_text.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  argv.reserve(argv_text.size() + 1);
  for (auto& text : argv_text) argv.push_back(text.data());
  argv.push_back(nullptr);

  using Result = std::variant<pid_t, int>;
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  if (const int error = posix_spawn_file_actions_init(&actions); error != 0) {
    return Result(std::in_place_index<1>, error);
  }
  if (const int error = posix_spawnattr_init(&attributes); error != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return Result(std::in_place_index<1>, error);
  }
  sigset_t none;
  sigemptyset(&none);
  sigset_t all;
  sigfillset(&all);
  sigdelset(&all, SIGKILL);
  sigdelset(&all, SIGSTOP);
  int error = posix_spawnattr_setsigmask(&attributes, &none);
  if (error == 0) error = posix_spawnattr_setsigdefault(&attributes, &all);
  if (error == 0) {
    error = posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  }
  if (error == 0 && output.has_value()) {
    error = posix_spawn_file_actions_adddup2(&actions, *output, STDOUT_FILENO);
  }
  pid_t child = -1;
  // glibc reports a failed exec (a missing or non-executable file) here, as
  // the call's result, and leaves no child behind in that case.
  if (error == 0) {
    error = posix_spawn(&child, path.c_str(), &actions, &attributes, argv.data(), environ);
  }
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) return Result(std::in_place_index<1>, error);
  return Result(std::in_place_index<0>, child);
}

std::variant<int, int> WaitForChild(pid_t child) {
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return std::variant<int, int>(std::in_place_index<1>, errno);
  }
  return std::variant<int, int>(std::in_place_index<0>, status);
}

}  // namespace osxnatives::platform::os
