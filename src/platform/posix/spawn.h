// Starting and collecting child processes, for the task backends that use posix_spawn.
#ifndef OSXNATIVES_PLATFORM_POSIX_SPAWN_H_
#define OSXNATIVES_PLATFORM_POSIX_SPAWN_H_

#include <sys/types.h>

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace osxnatives::platform::os {

// Starts `path` with `arguments` (argv[0] is `path`) and the host's
// environment. The child starts with no signal blocked and every signal at its
// default action, so the host's (a JVM's) signal set-up does not leak into it.
// When `output` is given, the child's standard output is that descriptor;
// otherwise it inherits all three standard streams. Returns the child's pid,
// or the errno value why it could not be started (no child exists then). The
// caller must collect the child with `WaitForChild`.
std::variant<pid_t, int> SpawnChild(const std::string& path,
                                    const std::vector<std::string>& arguments,
                                    std::optional<int> output = std::nullopt);

// Waits until `child` has ended, retrying on EINTR. Returns its wait status,
// or the errno value (ECHILD when the host ignores SIGCHLD and the kernel
// collected the child itself).
std::variant<int, int> WaitForChild(pid_t child);

}  // namespace osxnatives::platform::os

#endif  // OSXNATIVES_PLATFORM_POSIX_SPAWN_H_
