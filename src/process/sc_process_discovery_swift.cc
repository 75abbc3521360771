#include "process/sc_process_discovery_swift.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <unordered_set>

#include "common/host.h"
#include "platform/cg_window_list.h"
#include "platform/libproc.h"
#include "platform/ns_workspace.h"
#include "platform/unicode_text.h"
#include "process/pid_text.h"

namespace osxnatives {
namespace {

// The kernel's command name: empty unless all of its bytes, padding
// included, are UTF-8; otherwise without control and format characters at
// either end (which removes the padding).
std::string KernelName(const platform::KinfoProc& record) {
  const std::string_view bytes(record.p_comm.data(), record.p_comm.size());
  // Nearly every name is ASCII, where the control characters are the bytes
  // below 0x20 and DEL, and there are no format characters.
  const auto is_ascii = [](char c) { return static_cast<unsigned char>(c) < 0x80; };
  if (std::all_of(bytes.begin(), bytes.end(), is_ascii)) {
    const auto is_control = [](char c) { return c < 0x20 || c == 0x7F; };
    const auto first = std::find_if_not(bytes.begin(), bytes.end(), is_control);
    const auto last = std::find_if_not(bytes.rbegin(), bytes.rend(), is_control).base();
    return first < last ? std::string(first, last) : std::string();
  }
  if (!IsValidUtf8(bytes)) {
    return {};
  }
  return TrimControlAndFormat(bytes);
}

std::string* FindString(DiscoveryEntry& entry, const char* key) {
  auto it = entry.find(key);
  return it == entry.end() ? nullptr : &it->second;
}

}  // namespace

DiscoveryEntry::DiscoveryEntry(std::initializer_list<value_type> members) {
  members_.reserve(members.size());
  for (const value_type& member : members) {
    if (find(member.first) == end()) {
      members_.push_back(member);
    }
  }
}

DiscoveryEntry::iterator DiscoveryEntry::find(std::string_view key) {
  return std::find_if(members_.begin(), members_.end(),
                      [key](const value_type& member) { return member.first == key; });
}

std::string& DiscoveryEntry::operator[](std::string_view key) {
  const auto it = find(key);
  if (it != end()) {
    return it->second;
  }
  return members_.emplace_back(std::string(key), std::string()).second;
}

size_t DiscoveryEntry::erase(std::string_view key) {
  const auto it = find(key);
  if (it == end()) {
    return 0;
  }
  members_.erase(it);
  return 1;
}

std::optional<std::string> SCProcessDiscoverySwift::getProcessPath(const std::string& processId) {
  // Left uninitialised: only the `length` bytes the call reports are read.
  std::array<char, platform::kProcPidPathInfoMaxSize> buffer;  // NOLINT(*-member-init)
  const int length = platform::Get<platform::LibProc>().proc_pidpath(
      AtoiPidText(processId), buffer.data(), static_cast<uint32_t>(buffer.size()));
  if (length <= 0) {
    return std::nullopt;
  }
  const size_t end = strnlen(buffer.data(), std::min(static_cast<size_t>(length), buffer.size()));
  return ToValidUtf8(std::string_view(buffer.data(), end));
}

ProcessList SCProcessDiscoverySwift::getAllProcesses(const std::string& pausePhase) {
  std::vector<DiscoveryEntry> entries = getProcessEntries();
  const std::vector<int32_t> owner_list = getWindowOwnerPids(pausePhase);
  const std::unordered_set<int32_t> owners(owner_list.begin(), owner_list.end());

  ProcessList processes;
  processes.reserve(entries.size());
  for (DiscoveryEntry& slot : entries) {
    // Entries give way to records as they go, so that the two lists are
    // never held whole at once.
    DiscoveryEntry entry = std::move(slot);
    std::string* pid = FindString(entry, kEntryPidKey);
    std::string* name = FindString(entry, kEntryNameKey);
    std::string* bundle = FindString(entry, kEntryBundleIDKey);
    std::string* parent = FindString(entry, kEntryParentNameKey);
    if (pid == nullptr || name == nullptr || bundle == nullptr || parent == nullptr) {
      continue;
    }
    const std::optional<int32_t> id = ParsePidText(*pid);
    if (!id) {
      continue;
    }

    auto process = std::make_shared<ProcessSwift>();
    process->localizedName = std::move(*name);
    process->bundleID = std::move(*bundle);
    process->processID = *id;
    process->pid = *pid;
    process->state = ProcessState::active;
    process->processType = ProcessType::nonWindow;
    process->parentProcessName = std::move(*parent);
    process->processPath = getProcessPath(*pid);
    if (owners.contains(*id)) {
      process->processType = ProcessType::windowed;
    }
    processes.push_back(std::move(process));
  }
  return processes;
}

std::vector<int32_t> SCProcessDiscoverySwift::getWindowOwnerPids(const std::string& pausePhase) {
  const uint32_t options = pausePhase == kPeriodicPausePhase ? kPeriodicWindowListOptions
                                                             : platform::kCGWindowListOptionAll;
  const auto windows = platform::Get<platform::CGWindowList>().CGWindowListCopyWindowInfo(
      options, platform::kNullWindowID);
  std::vector<int32_t> owners;
  if (!windows) {
    return owners;
  }
  for (const platform::CGWindowInfo& window : *windows) {
    if (!window.ownerPID) {
      continue;
    }
    const double owner = *window.ownerPID;
    if (!std::isfinite(owner) || std::trunc(owner) != owner || owner < INT32_MIN ||
        owner > INT32_MAX) {
      continue;
    }
    owners.push_back(static_cast<int32_t>(owner));
  }
  return owners;
}

std::vector<DiscoveryEntry> SCProcessDiscoverySwift::getProcessEntries() {
  std::vector<platform::KinfoProc> table;
  size_t count = 0;
  if (getKernelProcessTable(table, count) != 0) {
    Log(kTableErrorMessage, "ERROR");
    return {};
  }
  auto& workspace = platform::Get<platform::NSWorkspace>();
  // Pid texts are compared as the ids they spell: one text per id. A table
  // hardly ever repeats an id, so the set of ids seen is kept only when it
  // does.
  const size_t records = std::min(count, table.size());
  bool repeats = false;
  {
    std::vector<int32_t> ids(records);
    std::transform(table.begin(), table.begin() + static_cast<ptrdiff_t>(records), ids.begin(),
                   [](const platform::KinfoProc& record) { return record.p_pid; });
    std::sort(ids.begin(), ids.end());
    repeats = std::adjacent_find(ids.begin(), ids.end()) != ids.end();
  }
  std::unordered_set<int32_t> seen;
  std::vector<DiscoveryEntry> entries;
  entries.reserve(count);
  for (size_t i = 0; i < records; ++i) {
    const platform::KinfoProc& record = table[i];
    const auto application = workspace.runningApplicationWithProcessIdentifier(record.p_pid);
    const auto parent = workspace.runningApplicationWithProcessIdentifier(record.e_ppid);

    std::string parent_name;
    if (parent && parent->localizedName) {
      parent_name = *parent->localizedName;
    }
    std::string name = KernelName(record);
    if (application && application->localizedName) {
      name = *application->localizedName;
    }
    std::string bundle = name;
    if (application && application->bundleIdentifier) {
      bundle = *application->bundleIdentifier;
    }

    if (repeats && !seen.insert(record.p_pid).second) {
      continue;
    }
    entries.push_back({{kEntryNameKey, std::move(name)},
                       {kEntryBundleIDKey, std::move(bundle)},
                       {kEntryPidKey, std::to_string(record.p_pid)},
                       {kEntryParentNameKey, std::move(parent_name)}});
  }
  return entries;
}

int32_t SCProcessDiscoverySwift::getKernelProcessTable(std::vector<platform::KinfoProc>& table,
                                                       size_t& count) {
  auto& sysctl = platform::Get<platform::Sysctl>();
  count = 0;
  for (;;) {
    size_t size = 0;
    int error = sysctl.KernProcAll(nullptr, &size);
    if (error != 0) {
      table.clear();
      return error;
    }
    // Never hand a null buffer to the read, even for an empty table: null
    // asks for the size.
    table.assign(std::max<size_t>(size, 1), platform::KinfoProc{});
    error = sysctl.KernProcAll(table.data(), &size);
    if (error == 0) {
      table.resize(size);
      count = size;
      return 0;
    }
    table.clear();
    if (error != ENOMEM) {
      return error;
    }
    // The table grew between the two calls: ask for its size again.
  }
}

}  // namespace osxnatives
