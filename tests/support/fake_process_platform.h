// In-memory stand-ins for the process platform services, for tests: a kernel
// table that can grow or fail, executable paths, a recording `kill`, and a
// window list. None of them touches a real process.
#ifndef OSXNATIVES_TESTS_SUPPORT_FAKE_PROCESS_PLATFORM_H_
#define OSXNATIVES_TESTS_SUPPORT_FAKE_PROCESS_PLATFORM_H_

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/cg_window_list.h"
#include "platform/libproc.h"
#include "platform/posix_process.h"
#include "platform/sysctl.h"

namespace osxnatives::testing {

// A kernel table record; `comm` is copied byte for byte (at most 16 bytes,
// zero-padded), so it may hold bytes that are not UTF-8.
inline platform::KinfoProc Kinfo(int32_t pid, int32_t ppid, std::string_view comm) {
  platform::KinfoProc record;
  record.p_pid = pid;
  record.e_ppid = ppid;
  std::memcpy(record.p_comm.data(), comm.data(),
              std::min(comm.size(), platform::kCommandNameSize - 1));
  return record;
}

class FakeSysctl : public platform::Sysctl {
 public:
  std::vector<platform::KinfoProc> table;
  int size_error = 0;  // returned by the size query when not 0
  int read_error = 0;  // returned by the read when not 0
  // Each size query moves one record from here to `table`, as if a process started.
  std::vector<platform::KinfoProc> started_after_size_query;
  int size_queries = 0;
  int reads = 0;

  int KernProcAll(platform::KinfoProc* out, size_t* count) override {
    if (out == nullptr) {
      ++size_queries;
      if (size_error != 0) return size_error;
      *count = table.size();
      if (!started_after_size_query.empty()) {
        table.push_back(started_after_size_query.front());
        started_after_size_query.erase(started_after_size_query.begin());
      }
      return 0;
    }
    ++reads;
    if (read_error != 0) return read_error;
    if (table.size() > *count) return ENOMEM;
    std::copy(table.begin(), table.end(), out);
    *count = table.size();
    return 0;
  }
};

class FakeLibProc : public platform::LibProc {
 public:
  std::map<int32_t, std::string> paths;  // raw bytes, any content
  int proc_pidpath(int32_t pid, char* buffer, uint32_t size) override {
    auto it = paths.find(pid);
    if (it == paths.end() || it->second.size() >= size) return 0;
    std::memcpy(buffer, it->second.data(), it->second.size() + 1);
    return static_cast<int>(it->second.size());
  }
};

// Records every signal instead of sending it. Delivery succeeds for the pids
// in `alive` (and for nothing else, pids of 0 or less included, so a test
// sees whether the code under test even tried). Single-threaded use only.
class FakePosixProcess : public platform::PosixProcess {
 public:
  struct Sent {
    int32_t pid;
    int signal;
    bool operator==(const Sent&) const = default;
  };
  std::set<int32_t> alive;
  int32_t own_pid = 777;
  std::vector<Sent> sent;

  int kill(int32_t pid, int signal) override {
    sent.push_back({pid, signal});
    if (alive.contains(pid)) return 0;
    errno = ESRCH;
    return -1;
  }
  int32_t getpid() override { return own_pid; }
};

class FakeWindowList : public platform::CGWindowList {
 public:
  std::optional<std::vector<platform::CGWindowInfo>> windows =
      std::vector<platform::CGWindowInfo>();
  std::vector<std::pair<uint32_t, uint32_t>> asked;  // (option, relativeToWindow)
  std::optional<std::vector<platform::CGWindowInfo>> CGWindowListCopyWindowInfo(
      uint32_t option, uint32_t relativeToWindow) override {
    asked.emplace_back(option, relativeToWindow);
    return windows;
  }
};

}  // namespace osxnatives::testing

#endif  // OSXNATIVES_TESTS_SUPPORT_FAKE_PROCESS_PLATFORM_H_
