#include "platform/linux/integrity.h"

#include <dirent.h>
#include <linux/cn_proc.h>
#include <linux/connector.h>
#include <linux/netlink.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <system_error>

#include "platform/linux/proc_stat.h"
#include "platform/linux/services.h"

namespace osxnatives::platform {

MachineIdentity& LinuxMachineIdentity() {
  static auto* const identity = new os::LinuxMachineIdentity();
  return *identity;
}

AVCaptureDeviceDiscovery& LinuxAVCaptureDeviceDiscovery() {
  static auto* const devices = new os::Video4LinuxDevices();
  return *devices;
}

NSWorkspaceNotifications& LinuxNSWorkspaceNotifications() {
  static auto* const events = new os::LinuxProcessEvents();
  return *events;
}

namespace os {
namespace {

namespace fs = std::filesystem;

// The whole of a small file, or nullopt with `*error` the errno value.
std::optional<std::string> ReadFile(const fs::path& path, int* error) {
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = errno != 0 ? errno : EIO;
    return std::nullopt;
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) {
    *error = EIO;
    return std::nullopt;
  }
  return text.str();
}

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\0')) {
    text.pop_back();
  }
  return text;
}

std::string Unreadable(int error) { return std::string("not readable: ") + std::strerror(error); }

// The command name of process `pid`, or nullopt when it is gone.
std::optional<std::string> CommandName(int32_t pid) {
  char path[48];
  std::snprintf(path, sizeof path, "/proc/%d/stat", pid);
  int error = 0;
  auto line = ReadFile(path, &error);
  KinfoProc record;
  if (!line || !ParseProcStatLine(*line, pid, record)) return std::nullopt;
  return std::string(record.p_comm.data());
}

std::set<int32_t> ProcessIds() {
  std::set<int32_t> pids;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return pids;
  while (const dirent* entry = readdir(proc)) {
    if (entry->d_name[0] < '1' || entry->d_name[0] > '9') continue;
    char* end = nullptr;
    const long pid = std::strtol(entry->d_name, &end, 10);
    if (*end == '\0' && pid <= INT32_MAX) pids.insert(static_cast<int32_t>(pid));
  }
  closedir(proc);
  return pids;
}

ApplicationLifecycleEvent Event(bool launched, int32_t pid, std::optional<std::string> name) {
  ApplicationLifecycleEvent event;
  event.launched = launched;
  event.application.processIdentifier = pid;
  event.application.localizedName = std::move(name);
  return event;
}

// Calls `handler`, keeping its exceptions on this side of the loop.
void Deliver(const ApplicationLifecycleHandler& handler, const ApplicationLifecycleEvent& event) {
  try {
    handler(event);
  } catch (...) {
  }
}

// True when this process sees the initial user and pid namespaces, the only
// ones in which the kernel honours a process-event subscription.
bool InInitialNamespaces() {
  constexpr ino_t kInitialPidNamespace = 0xEFFFFFFC;
  constexpr ino_t kInitialUserNamespace = 0xEFFFFFFD;
  struct stat pid_ns {};
  struct stat user_ns {};
  return stat("/proc/self/ns/pid", &pid_ns) == 0 && stat("/proc/self/ns/user", &user_ns) == 0 &&
         pid_ns.st_ino == kInitialPidNamespace && user_ns.st_ino == kInitialUserNamespace;
}

// A socket subscribed to the kernel's process events, or -1 with `*error`.
int SubscribeToProcessEvents(int* error) {
  if (!InInitialNamespaces()) {
    *error = EPERM;
    return -1;
  }
  const int sock = socket(PF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_CONNECTOR);
  if (sock < 0) {
    *error = errno;
    return -1;
  }
  sockaddr_nl address{};
  address.nl_family = AF_NETLINK;
  address.nl_groups = CN_IDX_PROC;
  // One netlink message holding one connector message holding the request.
  alignas(
      nlmsghdr) unsigned char request[NLMSG_SPACE(sizeof(cn_msg) + sizeof(proc_cn_mcast_op))] = {};
  auto* header = reinterpret_cast<nlmsghdr*>(request);
  header->nlmsg_len = NLMSG_LENGTH(sizeof(cn_msg) + sizeof(proc_cn_mcast_op));
  header->nlmsg_type = NLMSG_DONE;
  auto* message = static_cast<cn_msg*>(NLMSG_DATA(header));
  message->id.idx = CN_IDX_PROC;
  message->id.val = CN_VAL_PROC;
  message->len = sizeof(proc_cn_mcast_op);
  const proc_cn_mcast_op op = PROC_CN_MCAST_LISTEN;
  std::memcpy(message->data, &op, sizeof op);
  if (bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      send(sock, header, header->nlmsg_len, 0) != static_cast<ssize_t>(header->nlmsg_len)) {
    *error = errno;
    close(sock);
    return -1;
  }
  return sock;
}

}  // namespace

std::vector<MachineFact> LinuxMachineIdentity::ReadMachineFacts() {
  std::vector<MachineFact> facts;
  int error = 0;

  MachineFact flag{
      "/proc/cpuinfo", "flags: hypervisor", MachineFactKind::kHypervisorPresent, {}, std::nullopt};
  if (auto cpuinfo = ReadFile(root_ / "proc/cpuinfo", &error)) {
    std::istringstream lines(*cpuinfo);
    std::string line;
    bool has_flags = false, hypervisor = false;
    while (std::getline(lines, line)) {
      if (line.rfind("flags", 0) != 0) continue;
      has_flags = true;
      std::istringstream words(
          line.substr(line.find(':') == std::string::npos ? line.size() : line.find(':') + 1));
      std::string word;
      while (words >> word) hypervisor = hypervisor || word == "hypervisor";
    }
    if (has_flags) {
      flag.value = hypervisor;
    } else {
      flag.unknownReason = "no \"flags\" line (this processor does not list CPU flags)";
    }
  } else {
    flag.unknownReason = Unreadable(error);
  }
  facts.push_back(flag);

  MachineFact type{
      "/sys/hypervisor/type", "type", MachineFactKind::kHypervisorPresent, {}, std::nullopt};
  if (auto text = ReadFile(root_ / "sys/hypervisor/type", &error)) {
    type.value = Trimmed(*text);
  } else if (error == ENOENT) {
    // Only Xen announces itself here: the file's absence proves nothing,
    // so it does not count as a hypervisor answer.
    type.kind = MachineFactKind::kHardwareName;
    type.value = false;
  } else {
    type.unknownReason = Unreadable(error);
  }
  facts.push_back(type);

  for (const char* name : {"sys_vendor", "product_name"}) {
    MachineFact dmi{std::string("/sys/class/dmi/id/") + name,
                    name,
                    MachineFactKind::kHardwareName,
                    {},
                    std::nullopt};
    if (auto text = ReadFile(root_ / "sys/class/dmi/id" / name, &error)) {
      dmi.value = Trimmed(*text);
    } else {
      dmi.unknownReason =
          error == ENOENT ? "absent (no DMI tables on this machine)" : Unreadable(error);
    }
    facts.push_back(dmi);
  }
  return facts;
}

CaptureDeviceList Video4LinuxDevices::videoDevices() {
  CaptureDeviceList list;
  std::error_code error;
  if (!fs::exists(root_, error)) return list;
  std::vector<fs::path> entries;
  for (fs::directory_iterator it(root_, error), end; !error && it != end; it.increment(error)) {
    if (it->path().filename().string().rfind("video", 0) == 0) entries.push_back(it->path());
  }
  if (error) {
    list.unknownReason = "cannot list " + root_.string() + ": " + error.message();
    return list;
  }
  std::sort(entries.begin(), entries.end());
  for (const fs::path& entry : entries) {
    int read_error = 0;
    CaptureDeviceInfo device;
    device.uniqueID = entry.filename().string();
    if (auto name = ReadFile(entry / "name", &read_error)) device.localizedName = Trimmed(*name);
    std::error_code link_error;
    const fs::path driver = fs::read_symlink(entry / "device" / "driver", link_error);
    if (!link_error) device.deviceType = driver.filename().string();
    // A USB camera's interface sits below its device, which names the maker.
    const fs::path usb = entry / "device" / "..";
    if (auto maker = ReadFile(usb / "manufacturer", &read_error)) {
      device.manufacturer = Trimmed(*maker);
    }
    auto vendor = ReadFile(usb / "idVendor", &read_error);
    auto product = ReadFile(usb / "idProduct", &read_error);
    if (vendor && product) device.modelID = Trimmed(*vendor) + ":" + Trimmed(*product);
    list.devices.push_back(std::move(device));
  }
  return list;
}

LinuxProcessEvents::~LinuxProcessEvents() { LinuxProcessEvents::removeObservers(); }

std::optional<std::string> LinuxProcessEvents::addObservers(ApplicationLifecycleHandler handler,
                                                            std::string* reason) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (thread_.joinable()) {
    if (!finished_) {
      if (reason != nullptr) *reason = "observers already added";
      return std::nullopt;
    }
    // The loop ended on its own (the socket failed): start afresh.
    thread_.join();
    close(std::exchange(wake_fd_, -1));
  }
  wake_fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake_fd_ < 0) {
    if (reason != nullptr) *reason = std::string("eventfd: ") + std::strerror(errno);
    return std::nullopt;
  }
  stopping_ = false;
  finished_ = false;
  close_wake_on_exit_ = false;
  int error = 0;
  const int sock = use_connector_ ? SubscribeToProcessEvents(&error) : -1;
  const int wake = wake_fd_;
  std::string mechanism = "kernel process-event connector";
  if (sock < 0) {
    mechanism = "/proc every " + std::to_string(kPollInterval.count()) + " ms";
    if (use_connector_) {
      mechanism += std::string(" (process-event connector: ") + std::strerror(error) + ")";
    }
  }
  // The /proc watch's first look is taken here, so that every process
  // started after this call returns is new to it.
  std::set<int32_t> known;
  if (sock < 0) known = ProcessIds();
  thread_ = std::thread(
      [this, sock, wake, known = std::move(known), handler = std::move(handler)]() mutable {
        if (sock >= 0) {
          ConnectorLoop(sock, wake, handler);
          close(sock);
        } else {
          PollLoop(wake, std::move(known), handler);
        }
        std::lock_guard<std::mutex> lock(mutex_);
        finished_ = true;
        if (close_wake_on_exit_) close(wake);
      });
  return mechanism;
}

void LinuxProcessEvents::removeObservers() {
  std::thread finished;
  int wake = -1;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!thread_.joinable()) return;
    stopping_ = true;
    finished = std::move(thread_);
    wake = std::exchange(wake_fd_, -1);
    const uint64_t one = 1;
    if (write(wake, &one, sizeof one) < 0) {
      // Cannot fail for an eventfd below its maximum; the loops check
      // `stopping_` after each event or interval in any case.
    }
    if (finished.get_id() == std::this_thread::get_id()) {
      // Called from the handler: the loop ends, and closes the eventfd, when
      // the handler returns.
      close_wake_on_exit_ = true;
      finished.detach();
      return;
    }
  }
  finished.join();
  close(wake);
}

void LinuxProcessEvents::ConnectorLoop(int sock, int wake,
                                       const ApplicationLifecycleHandler& handler) {
  alignas(nlmsghdr) char buffer[8192];
  // Names of the processes seen starting, for their termination; a process
  // older than the watch is named from /proc while it is a zombie.
  std::map<int32_t, std::string> names;
  while (!stopping_) {
    pollfd fds[2] = {{sock, POLLIN, 0}, {wake, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (stopping_ || (fds[1].revents & POLLIN) != 0) return;
    const ssize_t length = recv(sock, buffer, sizeof buffer, 0);
    if (length <= 0) {
      if (length < 0 && (errno == EINTR || errno == ENOBUFS)) continue;  // ENOBUFS: events lost
      return;
    }
    // NLMSG_OK and NLMSG_NEXT, without the macros' mixed-sign comparison.
    size_t remaining = static_cast<size_t>(length);
    for (auto* header = reinterpret_cast<nlmsghdr*>(buffer);
         remaining >= sizeof(nlmsghdr) && header->nlmsg_len >= sizeof(nlmsghdr) &&
         header->nlmsg_len <= remaining;
         remaining -= std::min<size_t>(remaining, NLMSG_ALIGN(header->nlmsg_len)),
               header = reinterpret_cast<nlmsghdr*>(reinterpret_cast<char*>(header) +
                                                    NLMSG_ALIGN(header->nlmsg_len))) {
      if (header->nlmsg_len < NLMSG_LENGTH(sizeof(cn_msg))) continue;
      const auto* message = static_cast<const cn_msg*>(NLMSG_DATA(header));
      if (message->id.idx != CN_IDX_PROC || message->id.val != CN_VAL_PROC) continue;
      // The event follows the 20-byte connector header, so it is not aligned
      // for its 64-bit timestamp: copy it out. A shorter event (another
      // kernel's layout) leaves the rest zero.
      proc_event copy{};
      const size_t available =
          std::min<size_t>(message->len, header->nlmsg_len - NLMSG_LENGTH(sizeof(cn_msg)));
      std::memcpy(&copy, message->data, std::min(sizeof copy, available));
      const proc_event* event = &copy;
      if (event->what == proc_event::PROC_EVENT_EXEC &&
          event->event_data.exec.process_pid == event->event_data.exec.process_tgid) {
        const int32_t pid = event->event_data.exec.process_pid;
        auto name = CommandName(pid);
        if (name) names[pid] = *name;
        Deliver(handler, Event(true, pid, name));
      } else if (event->what == proc_event::PROC_EVENT_EXIT &&
                 event->event_data.exit.process_pid == event->event_data.exit.process_tgid) {
        const int32_t pid = event->event_data.exit.process_pid;
        auto known = names.find(pid);
        std::optional<std::string> name;
        if (known != names.end()) {
          name = std::move(known->second);
          names.erase(known);
        } else {
          name = CommandName(pid);
        }
        Deliver(handler, Event(false, pid, std::move(name)));
      }
      if (stopping_) return;
    }
  }
}

void LinuxProcessEvents::PollLoop(int wake, std::set<int32_t> known,
                                  const ApplicationLifecycleHandler& handler) {
  std::map<int32_t, std::string> names;
  for (int32_t pid : known) {
    if (auto name = CommandName(pid)) names[pid] = *name;
  }
  while (!stopping_) {
    pollfd fd = {wake, POLLIN, 0};
    if (poll(&fd, 1, static_cast<int>(kPollInterval.count())) > 0 || stopping_) return;
    const std::set<int32_t> now = ProcessIds();
    for (int32_t pid : known) {
      if (stopping_) return;
      if (now.count(pid) != 0) continue;
      auto name = names.find(pid);
      Deliver(handler,
              Event(false, pid, name != names.end() ? std::optional(name->second) : std::nullopt));
      names.erase(pid);
    }
    for (int32_t pid : now) {
      if (stopping_) return;
      if (known.count(pid) != 0) continue;
      auto name = CommandName(pid);
      if (name) names[pid] = *name;
      Deliver(handler, Event(true, pid, name));
    }
    known = now;
  }
}

}  // namespace os
}  // namespace osxnatives::platform
