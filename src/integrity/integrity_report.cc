#include "integrity/integrity_report.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <exception>
#include <set>
#include <variant>

#include "integrity/known_names.h"
#include "platform/av_capture_discovery.h"
#include "platform/cg_display.h"
#include "platform/cg_window_list.h"
#include "platform/machine_identity.h"
#include "platform/ns_workspace.h"
#include "platform/posix_process.h"
#include "platform/sysctl.h"

namespace osxnatives::integrity {
namespace {

using nlohmann::json;

json Unknown(std::string reason) { return {{"status", "unknown"}, {"reason", std::move(reason)}}; }

// `object[key]` = the value, or "unknown" with `key`Reason.
template <typename T>
void Put(json& object, const char* key, const std::optional<T>& value, const char* reason) {
  if (value) {
    object[key] = *value;
  } else {
    object[key] = "unknown";
    object[std::string(key) + "Reason"] = reason;
  }
}

// Runs one section; a section that throws becomes "unknown" with the reason,
// so one failing service never costs the other sections.
template <typename Section>
json Guard(Section&& section) {
  try {
    return section();
  } catch (const std::exception& e) {
    return Unknown(std::string("the platform failed: ") + e.what());
  } catch (...) {
    return Unknown("the platform failed");
  }
}

// The process table, read with the retry the table's growth needs.
int ReadProcessTable(std::vector<platform::KinfoProc>& table) {
  auto& sysctl = platform::Get<platform::Sysctl>();
  for (int attempt = 0; attempt < 8; ++attempt) {
    size_t size = 0;
    if (int error = sysctl.KernProcAll(nullptr, &size); error != 0) return error;
    table.assign(std::max<size_t>(size, 1), platform::KinfoProc{});
    const int error = sysctl.KernProcAll(table.data(), &size);
    if (error == 0) {
      table.resize(size);
      return 0;
    }
    if (error != ENOMEM) return error;
  }
  return ENOMEM;
}

// How `kernel_name` (as the kernel keeps it, possibly cut) matches `name`.
std::optional<std::string> NameMatch(std::string_view kernel_name, std::string_view name) {
  if (kernel_name == name) return "process name";
  // Cut names: 15 bytes on Linux, 16 on macOS.
  if (kernel_name.size() >= 15 && name.size() > kernel_name.size() &&
      name.substr(0, kernel_name.size()) == kernel_name) {
    return "process name (cut to " + std::to_string(kernel_name.size()) + " bytes)";
  }
  return std::nullopt;
}

}  // namespace

json IntegrityReport::VirtualMachine() {
  json evidence = json::array();
  bool indicated = false, flag_known = false, any_known = false;
  for (const platform::MachineFact& fact :
       platform::Get<platform::MachineIdentity>().ReadMachineFacts()) {
    json item = {{"source", fact.source}, {"name", fact.name}};
    bool indicates = false;
    if (fact.unknownReason || std::holds_alternative<std::monostate>(fact.value)) {
      item["value"] = "unknown";
      item["valueReason"] = fact.unknownReason.value_or("no value");
      evidence.push_back(std::move(item));
      continue;
    }
    any_known = true;
    const bool hypervisor = fact.kind == platform::MachineFactKind::kHypervisorPresent;
    flag_known = flag_known || hypervisor;
    if (auto* number = std::get_if<int64_t>(&fact.value)) {
      item["value"] = *number;
      indicates = hypervisor && *number != 0;
    } else if (auto* flag = std::get_if<bool>(&fact.value)) {
      item["value"] = *flag;
      indicates = hypervisor && *flag;
    } else if (auto* text = std::get_if<std::string>(&fact.value)) {
      item["value"] = *text;
      if (hypervisor) {
        indicates = !text->empty();
      } else if (auto marker = VirtualMachineMarker(*text)) {
        indicates = true;
        item["marker"] = std::string(*marker);
      }
    }
    item["indicates"] = indicates;
    indicated = indicated || indicates;
    evidence.push_back(std::move(item));
  }
  json section = {{"status", "known"}, {"evidence", evidence}};
  if (indicated) {
    section["verdict"] = "yes";
  } else if (flag_known) {
    section["verdict"] = "no";
  } else {
    section["status"] = "unknown";
    section["verdict"] = "unknown";
    section["reason"] = any_known ? "no hypervisor flag could be read, and no hardware name "
                                    "names a known virtual machine"
                                  : "no fact could be read";
  }
  return section;
}

json IntegrityReport::Windows() {
  auto windows = platform::Get<platform::CGWindowList>().CGWindowListCopyWindowInfo(
      platform::kCGWindowListOptionOnScreenOnly | platform::kCGWindowListExcludeDesktopElements,
      platform::kNullWindowID);
  if (!windows) return Unknown("the window list is unavailable (no window server session)");
  const double own_pid = platform::Get<platform::PosixProcess>().getpid();
  json findings = json::array();
  size_t examined = 0, without_state = 0;
  for (const platform::CGWindowInfo& window : *windows) {
    if (window.ownerPID && *window.ownerPID == own_pid) continue;
    ++examined;
    if (!window.sharingState) ++without_state;
    json why = json::array();
    if (window.sharingState && *window.sharingState == platform::kCGWindowSharingNone) {
      why.push_back("sharingStateNone");
    }
    if (window.layer && *window.layer > 0) why.push_back("aboveNormalWindows");
    if (why.empty()) continue;
    if (window.alpha && *window.alpha < 1.0) why.push_back("translucent");
    json finding = {{"why", why}};
    std::optional<int64_t> owner;
    if (window.ownerPID && std::trunc(*window.ownerPID) == *window.ownerPID &&
        *window.ownerPID >= INT32_MIN && *window.ownerPID <= INT32_MAX) {
      owner = static_cast<int64_t>(*window.ownerPID);
    }
    Put(finding, "ownerPid", owner, "the window names no whole-number owner");
    Put(finding, "ownerName", window.ownerName, "the window names no owner");
    Put(finding, "windowNumber", window.windowNumber, "not in the window's description");
    Put(finding, "layer", window.layer, "not in the window's description");
    Put(finding, "alpha", window.alpha, "not in the window's description");
    Put(finding, "sharingState", window.sharingState, "not in the window's description");
    if (window.bounds) {
      finding["bounds"] = {{"x", window.bounds->x},
                           {"y", window.bounds->y},
                           {"width", window.bounds->width},
                           {"height", window.bounds->height}};
    } else {
      finding["bounds"] = "unknown";
      finding["boundsReason"] = "not in the window's description";
    }
    findings.push_back(std::move(finding));
  }
  json section = {{"status", "known"}, {"examined", examined}, {"findings", findings}};
  if (examined > 0 && without_state == examined) {
    section["status"] = "unknown";
    section["reason"] = "no window carries a sharing state; hidden windows cannot be told";
  }
  return section;
}

json IntegrityReport::Displays() {
  constexpr uint32_t kCapacity = 32;
  platform::CGDirectDisplayID ids[kCapacity] = {};
  uint32_t count = 0;
  const platform::CGError error =
      platform::Get<platform::CGDisplay>().CGGetOnlineDisplayList(kCapacity, ids, &count);
  if (error != platform::kCGErrorSuccess) {
    return Unknown("CGGetOnlineDisplayList failed: error " + std::to_string(error));
  }
  auto& properties = platform::Get<platform::CGDisplayProperties>();
  json list = json::array();
  for (uint32_t i = 0; i < std::min(count, kCapacity); ++i) {
    json entry = {{"id", ids[i]}};
    const auto d = properties.describeDisplay(ids[i]);
    if (!d) {
      // Unplugged between the list and this read.
      entry["status"] = "unknown";
      entry["reason"] = "the display went away while it was read";
      list.push_back(std::move(entry));
      continue;
    }
    entry.update({{"main", d->isMain},
                  {"builtin", d->isBuiltin},
                  {"mirrored", d->mirrorsDisplay != 0},
                  {"vendor", d->vendorNumber},
                  {"model", d->modelNumber},
                  {"serial", d->serialNumber},
                  {"widthMm", d->widthMillimetres},
                  {"heightMm", d->heightMillimetres},
                  {"pixelsWide", d->pixelsWide},
                  {"pixelsHigh", d->pixelsHigh}});
    entry["mirrorOf"] = d->mirrorsDisplay != 0 ? json(d->mirrorsDisplay) : json(nullptr);
    list.push_back(std::move(entry));
  }
  return {{"status", "known"}, {"list", list}};
}

json IntegrityReport::Cameras() {
  const platform::CaptureDeviceList devices =
      platform::Get<platform::AVCaptureDeviceDiscovery>().videoDevices();
  if (devices.unknownReason) return Unknown(*devices.unknownReason);
  json list = json::array();
  constexpr const char* kAbsent = "the device does not say";
  for (const platform::CaptureDeviceInfo& device : devices.devices) {
    json entry = json::object();
    Put(entry, "uniqueID", device.uniqueID, kAbsent);
    Put(entry, "name", device.localizedName, kAbsent);
    Put(entry, "model", device.modelID, kAbsent);
    Put(entry, "manufacturer", device.manufacturer, kAbsent);
    Put(entry, "deviceType", device.deviceType, kAbsent);
    Put(entry, "continuityCamera", device.continuityCamera,
        "this system cannot tell (before macOS 13, or not a Mac)");
    json marker = nullptr;
    for (const auto& text :
         {device.localizedName, device.modelID, device.manufacturer, device.deviceType}) {
      if (!text) continue;
      if (auto found = VirtualCameraMarker(*text)) {
        marker = std::string(*found);
        break;
      }
    }
    entry["virtualCameraMarker"] = marker;
    list.push_back(std::move(entry));
  }
  return {{"status", "known"}, {"list", list}};
}

json IntegrityReport::DeviceBridgeProcesses() {
  json looked_for = json::array();
  for (const DeviceBridge& bridge : DeviceBridges()) looked_for.push_back(bridge.name);
  json found = json::array();
  std::set<std::pair<std::string, int32_t>> seen;
  auto add = [&](const DeviceBridge& bridge, int32_t pid, const json& process_name,
                 const json& bundle, const std::string& matched_by) {
    if (!seen.emplace(std::string(bridge.name), pid).second) return;
    found.push_back({{"bridge", bridge.name},
                     {"pid", pid},
                     {"processName", process_name},
                     {"bundleIdentifier", bundle},
                     {"matchedBy", matched_by}});
  };

  json section = {{"status", "known"}};
  std::vector<platform::KinfoProc> table;
  if (const int error = ReadProcessTable(table); error != 0) {
    section["status"] = "unknown";
    section["reason"] = std::string("the process table cannot be read: ") + std::strerror(error);
  }
  for (const platform::KinfoProc& record : table) {
    // The name field may lack its NUL when the kernel filled all of it.
    const std::string_view name(record.p_comm.data(),
                                strnlen(record.p_comm.data(), record.p_comm.size()));
    for (const DeviceBridge& bridge : DeviceBridges()) {
      for (std::string_view wanted : bridge.processNames) {
        if (auto how = NameMatch(name, wanted)) {
          add(bridge, record.p_pid, std::string(wanted), nullptr, *how);
        }
      }
    }
  }
  for (const platform::RunningApplication& app :
       platform::Get<platform::NSWorkspace>().runningApplications()) {
    if (!app.bundleIdentifier) continue;
    for (const DeviceBridge& bridge : DeviceBridges()) {
      for (std::string_view wanted : bridge.bundleIdentifiers) {
        if (*app.bundleIdentifier != wanted) continue;
        add(bridge, app.processIdentifier,
            app.localizedName ? json(*app.localizedName) : json(nullptr), *app.bundleIdentifier,
            "bundle identifier");
      }
    }
  }
  section["found"] = found;
  section["lookedFor"] = looked_for;
  return section;
}

std::string IntegrityReport::Take() {
  json report = {{"version", 1}};
  report["virtualMachine"] = Guard([&] { return VirtualMachine(); });
  report["windows"] = Guard([&] { return Windows(); });
  report["displays"] = Guard([&] { return Displays(); });
  report["cameras"] = Guard([&] { return Cameras(); });
  report["deviceBridges"] = Guard([&] { return DeviceBridgeProcesses(); });
  // Texts from the platform may hold invalid UTF-8 (a cut command name).
  return report.dump(-1, ' ', false, json::error_handler_t::replace);
}

}  // namespace osxnatives::integrity
