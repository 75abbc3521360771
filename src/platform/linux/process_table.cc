// The kernel process table on Linux: one record per /proc/<pid> folder, read
// from /proc/<pid>/stat ("pid (comm) state ppid ..."). The command name may
// hold blanks and parentheses, so the line is split at its last ')'.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "platform/linux/services.h"
#include "platform/sysctl.h"

namespace osxnatives::platform {
namespace {

// The process id a /proc entry names, or nullopt for the other entries.
std::optional<int32_t> PidOfEntry(const char* name) {
  if (*name < '1' || *name > '9') {
    return std::nullopt;
  }
  char* end = nullptr;
  errno = 0;
  const long pid = std::strtol(name, &end, 10);
  if (*end != '\0' || errno != 0 || pid > INT32_MAX) {
    return std::nullopt;
  }
  return static_cast<int32_t>(pid);
}

// Reads the record of process `pid` below the open /proc folder. Returns
// false when the process is gone or its line cannot be understood.
bool ReadRecord(int proc_fd, int32_t pid, KinfoProc& record) {
  char path[32];
  std::snprintf(path, sizeof path, "%d/stat", pid);
  const int fd = openat(proc_fd, path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return false;
  }
  // Everything after the command name is numbers and one state letter, so
  // the first 512 bytes always hold the name and the parent id.
  char line[512];
  ssize_t length;
  do {
    length = read(fd, line, sizeof line - 1);
  } while (length < 0 && errno == EINTR);
  close(fd);
  if (length <= 0) {
    return false;
  }
  line[length] = '\0';

  char* open = static_cast<char*>(std::memchr(line, '(', static_cast<size_t>(length)));
  char* close_paren = static_cast<char*>(memrchr(line, ')', static_cast<size_t>(length)));
  if (open == nullptr || close_paren == nullptr || close_paren < open) {
    return false;
  }
  // ") S ppid"
  const char* rest = close_paren + 1;
  if (rest[0] != ' ' || rest[1] == '\0' || rest[2] != ' ') {
    return false;
  }
  char* end = nullptr;
  const long ppid = std::strtol(rest + 3, &end, 10);
  if (end == rest + 3) {
    return false;
  }

  record = KinfoProc{};
  record.p_pid = pid;
  record.e_ppid = static_cast<int32_t>(ppid);
  const size_t name_length =
      std::min(static_cast<size_t>(close_paren - open - 1), kCommandNameSize - 1);
  std::memcpy(record.p_comm.data(), open + 1, name_length);
  return true;
}

// The size of the table without walking it: procfs reports its root's link
// count as a fixed number plus the number of processes on the whole machine,
// which is never below the number this pid namespace can see.
std::optional<size_t> QuickProcessBound() {
  struct stat root {};
  if (stat("/proc", &root) != 0 || root.st_nlink < 2) {
    return std::nullopt;
  }
  return static_cast<size_t>(root.st_nlink);
}

class ProcProcessTable : public Sysctl {
 public:
  int KernProcAll(KinfoProc* table, size_t* count) override {
    if (table == nullptr) {
      if (const std::optional<size_t> bound = QuickProcessBound()) {
        *count = WithRoom(*bound);
        return 0;
      }
    }
    DIR* proc = opendir("/proc");
    if (proc == nullptr) {
      return errno;
    }
    const int proc_fd = dirfd(proc);
    size_t found = 0;
    int error = 0;
    for (;;) {
      // Only readdir's own errno counts: reading a record of a process that
      // has just ended sets errno too, and that is no failure of the walk.
      errno = 0;
      const dirent* entry = readdir(proc);
      if (entry == nullptr) {
        error = errno;
        break;
      }
      const std::optional<int32_t> pid = PidOfEntry(entry->d_name);
      if (!pid) {
        continue;
      }
      if (table == nullptr) {
        ++found;
        continue;
      }
      if (found == *count) {
        error = ENOMEM;
        break;
      }
      if (ReadRecord(proc_fd, *pid, table[found])) {
        ++found;
      }
    }
    closedir(proc);
    if (error != 0) {
      return error;
    }
    *count = table == nullptr ? WithRoom(found) : found;
    return 0;
  }

 private:
  // Like the kernel's own estimate, leaves room for processes started
  // between the size query and the read.
  static size_t WithRoom(size_t processes) { return processes + processes / 8 + 16; }
};

}  // namespace

Sysctl& LinuxSysctl() {
  static auto* const table = new ProcProcessTable();
  return *table;
}

}  // namespace osxnatives::platform
