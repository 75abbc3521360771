#include "integrity/integrity_report.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

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
using platform::MachineFact;
using platform::MachineFactKind;
using platform::ScopedOverride;

struct FakeMachine : platform::MachineIdentity {
  std::vector<MachineFact> facts;
  std::vector<MachineFact> ReadMachineFacts() override { return facts; }
};

MachineFact Flag(int64_t value) {
  return {"sysctlbyname", "kern.hv_vmm_present", MachineFactKind::kHypervisorPresent, value, {}};
}
MachineFact Name(std::string value) {
  return {"sysctlbyname", "hw.model", MachineFactKind::kHardwareName, value, {}};
}
MachineFact Unread(MachineFactKind kind) {
  return {"sysctlbyname", "kern.hv_vmm_present", kind, {}, "sysctlbyname failed: ENOENT"};
}

TEST(IntegrityReportTest, VirtualMachineVerdictFollowsTheEvidence) {
  const struct {
    const char* name;
    std::vector<MachineFact> facts;
    const char* verdict;
    const char* status;
  } rows[] = {
      {"hypervisor flag set", {Flag(1), Name("MacBookPro18,3")}, "yes", "known"},
      {"Virtualization framework model", {Flag(0), Name("VirtualMac2,1")}, "yes", "known"},
      {"flag clear, real model", {Flag(0), Name("Mac14,2")}, "no", "known"},
      {"only a harmless name",
       {Unread(MachineFactKind::kHypervisorPresent), Name("Mac14,2")},
       "unknown",
       "unknown"},
      {"nothing readable", {Unread(MachineFactKind::kHypervisorPresent)}, "unknown", "unknown"},
      {"vendor case differs", {Name("vmware, inc.")}, "yes", "known"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    FakeMachine machine;
    machine.facts = row.facts;
    ScopedOverride<platform::MachineIdentity> use(&machine);
    const json section = IntegrityReport().VirtualMachine();
    EXPECT_EQ(section["verdict"], row.verdict);
    EXPECT_EQ(section["status"], row.status);
    ASSERT_EQ(section["evidence"].size(), row.facts.size());
  }
}

TEST(IntegrityReportTest, EvidenceCarriesTheValueReadOrWhyNot) {
  FakeMachine machine;
  machine.facts = {Unread(MachineFactKind::kHypervisorPresent), Name("VirtualMac2,1")};
  ScopedOverride<platform::MachineIdentity> use(&machine);
  const json evidence = IntegrityReport().VirtualMachine()["evidence"];
  EXPECT_EQ(evidence[0]["value"], "unknown");
  EXPECT_EQ(evidence[0]["valueReason"], "sysctlbyname failed: ENOENT");
  EXPECT_EQ(evidence[1]["value"], "VirtualMac2,1");
  EXPECT_EQ(evidence[1]["marker"], "VirtualMac");
  EXPECT_EQ(evidence[1]["indicates"], true);
}

struct FakeWindows : platform::CGWindowList {
  std::optional<std::vector<platform::CGWindowInfo>> windows;
  uint32_t asked = 0;
  std::optional<std::vector<platform::CGWindowInfo>> CGWindowListCopyWindowInfo(uint32_t option,
                                                                                uint32_t) override {
    asked = option;
    return windows;
  }
};

struct FixedPid : platform::PosixProcess {
  int kill(int32_t, int) override { throw std::logic_error("the report never signals"); }
  int32_t getpid() override { return 100; }
};

platform::CGWindowInfo Window(double owner, std::optional<int64_t> sharing, int64_t layer,
                              double alpha = 1) {
  platform::CGWindowInfo info;
  info.ownerPID = owner;
  info.ownerName = "Owner";
  info.windowNumber = 7;
  info.sharingState = sharing;
  info.layer = layer;
  info.alpha = alpha;
  info.bounds = platform::CGWindowInfo::Bounds{1, 2, 300, 40};
  return info;
}

TEST(IntegrityReportTest, WindowsHiddenFromCaptureOrAboveOthersAreFindingsOfOtherProcesses) {
  const struct {
    const char* name;
    platform::CGWindowInfo window;
    json why;  // null: no finding
  } rows[] = {
      {"hidden overlay",
       Window(501, 0, 3, 0.5),
       {"sharingStateNone", "aboveNormalWindows", "translucent"}},
      {"hidden at normal level", Window(501, 0, 0), {"sharingStateNone"}},
      {"floating but capturable", Window(501, 1, 25), {"aboveNormalWindows"}},
      {"ordinary window", Window(501, 1, 0, 0.2), nullptr},
      {"our own hidden window", Window(100, 0, 3), nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    FakeWindows windows;
    windows.windows = std::vector{row.window, Window(502, 1, 0)};
    FixedPid pid;
    ScopedOverride<platform::CGWindowList> use_windows(&windows);
    ScopedOverride<platform::PosixProcess> use_pid(&pid);
    const json section = IntegrityReport().Windows();
    EXPECT_EQ(section["status"], "known");
    EXPECT_NE(windows.asked & platform::kCGWindowListOptionOnScreenOnly, 0U);
    if (row.why.is_null()) {
      EXPECT_TRUE(section["findings"].empty()) << section.dump();
      continue;
    }
    ASSERT_EQ(section["findings"].size(), 1U) << section.dump();
    const json& finding = section["findings"][0];
    EXPECT_EQ(finding["why"], row.why);
    EXPECT_EQ(finding["ownerPid"], 501);
    EXPECT_EQ(finding["bounds"], json({{"x", 1}, {"y", 2}, {"width", 300}, {"height", 40}}));
  }
}

TEST(IntegrityReportTest, WindowsWithoutAnswersAreUnknownWithTheReason) {
  FixedPid pid;
  ScopedOverride<platform::PosixProcess> use_pid(&pid);
  FakeWindows none;  // no window server
  {
    ScopedOverride<platform::CGWindowList> use(&none);
    EXPECT_EQ(IntegrityReport().Windows()["status"], "unknown");
  }
  // No window says its sharing state: hidden ones cannot be told apart.
  FakeWindows stateless;
  stateless.windows = std::vector{Window(501, std::nullopt, 0), Window(502, std::nullopt, 5)};
  ScopedOverride<platform::CGWindowList> use(&stateless);
  const json section = IntegrityReport().Windows();
  EXPECT_EQ(section["status"], "unknown");
  ASSERT_EQ(section["findings"].size(), 1U);
  EXPECT_EQ(section["findings"][0]["sharingState"], "unknown");
  EXPECT_TRUE(section["findings"][0].contains("sharingStateReason"));
}

struct FakeDisplays : platform::CGDisplay, platform::CGDisplayProperties {
  std::vector<platform::CGDirectDisplayID> online;
  std::map<platform::CGDirectDisplayID, platform::CGDisplayDescription> described;
  platform::CGError error = platform::kCGErrorSuccess;
  platform::CGError CGGetOnlineDisplayList(uint32_t max, platform::CGDirectDisplayID* ids,
                                           uint32_t* count) override {
    if (error != platform::kCGErrorSuccess) return error;
    *count = std::min<uint32_t>(max, static_cast<uint32_t>(online.size()));
    std::copy_n(online.begin(), *count, ids);
    return platform::kCGErrorSuccess;
  }
  platform::CGError CGGetActiveDisplayList(uint32_t, platform::CGDirectDisplayID*,
                                           uint32_t*) override {
    throw std::logic_error("not asked");
  }
  platform::CGDirectDisplayID CGMainDisplayID() override { return 1; }
  platform::CGError CGDisplayCapture(platform::CGDirectDisplayID) override {
    throw std::logic_error("the report captures nothing");
  }
  platform::CGError CGDisplayRelease(platform::CGDirectDisplayID) override {
    throw std::logic_error("the report releases nothing");
  }
  std::optional<platform::CGDisplayDescription> describeDisplay(
      platform::CGDirectDisplayID id) override {
    auto it = described.find(id);
    if (it == described.end()) return std::nullopt;
    return it->second;
  }
};

TEST(IntegrityReportTest, DisplaysSayWhichMirrorsWhichAndWhichWentAway) {
  FakeDisplays displays;
  displays.online = {1, 2, 3};
  displays.described[1] = {true, true, 0, 1552, 41001, 0, 300, 190, 3024, 1964};
  displays.described[2] = {false, false, 1, 7789, 12, 99, 600, 340, 1920, 1080};
  // Display 3 is unplugged between the list and its description.
  ScopedOverride<platform::CGDisplay> use(&displays);
  ScopedOverride<platform::CGDisplayProperties> use_properties(&displays);
  const json list = IntegrityReport().Displays()["list"];
  ASSERT_EQ(list.size(), 3U);
  EXPECT_EQ(list[0]["builtin"], true);
  EXPECT_EQ(list[0]["mirrorOf"], nullptr);
  EXPECT_EQ(list[1]["mirrored"], true);
  EXPECT_EQ(list[1]["mirrorOf"], 1);
  EXPECT_EQ(list[1]["serial"], 99);
  EXPECT_EQ(list[2]["status"], "unknown");

  displays.error = platform::kCGErrorFailure;
  const json failed = IntegrityReport().Displays();
  EXPECT_EQ(failed["status"], "unknown");
  EXPECT_NE(failed["reason"].get<std::string>().find("1000"), std::string::npos);
}

struct FakeCameras : platform::AVCaptureDeviceDiscovery {
  platform::CaptureDeviceList list;
  platform::CaptureDeviceList videoDevices() override { return list; }
};

TEST(IntegrityReportTest, CamerasNameVirtualOnesAndUnknownFields) {
  FakeCameras cameras;
  cameras.list.devices = {
      {"0x1", "FaceTime HD Camera", "Apple Camera VDC", "Apple Inc.",
       "AVCaptureDeviceTypeBuiltInWideAngleCamera", false},
      {"obs", "OBS Virtual Camera", std::nullopt, "obs-project.com", std::nullopt, std::nullopt},
      {"video0", "Dummy video device", std::nullopt, std::nullopt, "v4l2loopback", std::nullopt},
  };
  ScopedOverride<platform::AVCaptureDeviceDiscovery> use(&cameras);
  const json list = IntegrityReport().Cameras()["list"];
  ASSERT_EQ(list.size(), 3U);
  EXPECT_EQ(list[0]["virtualCameraMarker"], nullptr);
  EXPECT_EQ(list[0]["continuityCamera"], false);
  EXPECT_EQ(list[1]["virtualCameraMarker"], "OBS Virtual");
  EXPECT_EQ(list[1]["model"], "unknown");
  EXPECT_EQ(list[1]["continuityCamera"], "unknown");
  EXPECT_EQ(list[2]["virtualCameraMarker"], "v4l2loopback");

  cameras.list = {{}, "AVCaptureDeviceDiscoverySession raised"};
  EXPECT_EQ(IntegrityReport().Cameras(),
            json({{"status", "unknown"}, {"reason", "AVCaptureDeviceDiscoverySession raised"}}));
}

struct FakeTable : platform::Sysctl {
  std::vector<std::string> names;
  int error = 0;
  int KernProcAll(platform::KinfoProc* table, size_t* count) override {
    if (error != 0) return error;
    if (table == nullptr) {
      *count = names.size();
      return 0;
    }
    for (size_t i = 0; i < names.size(); ++i) {
      table[i].p_pid = static_cast<int32_t>(1000 + i);
      // Up to all 17 bytes, without a NUL when the name fills them.
      std::memcpy(table[i].p_comm.data(), names[i].data(),
                  std::min(names[i].size(), table[i].p_comm.size()));
    }
    *count = names.size();
    return 0;
  }
};

struct FakeApplications : platform::NSWorkspace {
  std::vector<platform::RunningApplication> running;
  std::vector<platform::RunningApplication> runningApplications() override { return running; }
  std::optional<platform::RunningApplication> frontmostApplication() override { return {}; }
  std::optional<platform::RunningApplication> runningApplicationWithProcessIdentifier(
      int32_t) override {
    return {};
  }
  platform::RunningApplication currentApplication() override { return {}; }
  bool activateWithOptions(const platform::RunningApplication&, uint64_t) override {
    throw std::logic_error("the report activates nothing");
  }
};

TEST(IntegrityReportTest, DeviceBridgesFoundByProcessNameCutOrWholeAndByBundle) {
  FakeTable table;
  table.names = {"launchd",         "UniversalControl", "SidecarDisplayAg",
                 "AirPlayXPCHelpe", "iPhone",           "UniversalContro"};
  FakeApplications apps;
  apps.running = {{1001, "Universal Control", "com.apple.universalcontrol"},
                  {2000, "iPhone Mirroring", "com.apple.ScreenContinuity"}};
  ScopedOverride<platform::Sysctl> use_table(&table);
  ScopedOverride<platform::NSWorkspace> use_apps(&apps);
  json found = IntegrityReport().DeviceBridgeProcesses()["found"];
  std::vector<std::tuple<std::string, int, std::string>> seen;
  for (const json& f : found) seen.emplace_back(f["bridge"], f["pid"], f["matchedBy"]);
  EXPECT_EQ(seen, (std::vector<std::tuple<std::string, int, std::string>>{
                      {"Universal Control", 1001, "process name"},
                      {"Sidecar", 1002, "process name (cut to 16 bytes)"},
                      {"AirPlay receiver", 1003, "process name (cut to 15 bytes)"},
                      {"Universal Control", 1005, "process name (cut to 15 bytes)"},
                      {"iPhone Mirroring", 2000, "bundle identifier"},
                  }));

  // An unreadable table still leaves the applications' answer.
  table.error = EPERM;
  const json section = IntegrityReport().DeviceBridgeProcesses();
  EXPECT_EQ(section["status"], "unknown");
  EXPECT_EQ(section["found"].size(), 2U);
}

TEST(IntegrityReportTest, ASectionWhoseServiceThrowsIsUnknownAndTheRestIsThere) {
  struct Throwing : platform::AVCaptureDeviceDiscovery {
    platform::CaptureDeviceList videoDevices() override {
      throw std::runtime_error("device list changed");
    }
  } throwing;
  ScopedOverride<platform::AVCaptureDeviceDiscovery> use(&throwing);
  const json report = json::parse(IntegrityReport().Take());
  EXPECT_EQ(report["cameras"]["status"], "unknown");
  EXPECT_NE(report["cameras"]["reason"].get<std::string>().find("device list changed"),
            std::string::npos);
  for (const char* key : {"virtualMachine", "windows", "displays", "deviceBridges"}) {
    EXPECT_TRUE(report.contains(key)) << key;
  }
}

}  // namespace
}  // namespace osxnatives::integrity
