#include "checks/vpn_check.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/linux/proxy_settings.h"
#include "platform/sim/network_usb.h"
#include "platform/sim/scenario.h"

namespace osxnatives {
namespace {

using platform::ScopedOverride;

class FakeProxySettings : public platform::CFNetwork {
 public:
  std::optional<nlohmann::json> settings;
  std::optional<nlohmann::json> CopySystemProxySettings() override { return settings; }
};

// Proxy settings whose scoped interfaces are `names`.
nlohmann::json Scoped(std::initializer_list<const char*> names) {
  nlohmann::json scoped = nlohmann::json::object();
  for (const char* name : names) {
    scoped[name] = {{"HTTPEnable", 0}};
  }
  return {{"__SCOPED__", scoped}, {"HTTPEnable", 0}};
}

TEST(VpnCheckTest, ReportsTunnelInterfacesOnly) {
  const std::vector<std::pair<std::optional<nlohmann::json>, int64_t>> cases = {
      {Scoped({"en0", "utun3"}), 1},
      {Scoped({"en0", "en1"}), 0},
      {Scoped({"ppp0"}), 1},
      {Scoped({"ipsec0"}), 1},
      {Scoped({"tap0"}), 1},
      {Scoped({"tun"}), 1},
      {Scoped({"xtun0"}), 0},  // the prefix must start the name
      {Scoped({"UTUN0"}), 0},
      {Scoped({"ips", "ut", ""}), 0},
      {nlohmann::json{{"HTTPEnable", 0}}, 0},
      {nlohmann::json{{"__SCOPED__", {"utun0"}}}, 0},
      {nlohmann::json::array({"utun0"}), 0},
      {std::nullopt, 0},  // no proxy configuration at all
  };
  FakeProxySettings fake;
  ScopedOverride<platform::CFNetwork> use(&fake);
  for (const auto& [settings, expected] : cases) {
    fake.settings = settings;
    EXPECT_EQ(VPNCheck().checkVpn(), expected) << (settings ? settings->dump() : "none");
  }
}

TEST(SystemProxySettingsTest, ScenarioInterfacesReplaceTheMachines) {
  auto settings = platform::sim::ProxySettingsFromScenario(
      platform::sim::Scenario::Parse(R"({"networkInterfaces": ["lo", null, "utun3"]})", "test"));
  ASSERT_NE(settings, nullptr);
  ScopedOverride<platform::CFNetwork> use(settings.get());
  EXPECT_EQ(settings->CopySystemProxySettings(),
            nlohmann::json::parse(R"({"__SCOPED__": {"lo": {}, "utun3": {}}})"));
  EXPECT_EQ(VPNCheck().checkVpn(), 1);

  // A malformed list is reported and the machine's interfaces are used.
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(platform::sim::ProxySettingsFromScenario(
                platform::sim::Scenario::Parse(R"({"networkInterfaces": "utun3"})", "test")),
            nullptr);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("networkInterfaces"), std::string::npos) << err;
  auto machine = platform::os::UpInterfaceNames();
  ASSERT_TRUE(machine.has_value());
  EXPECT_EQ(
      platform::os::SystemProxySettings().CopySystemProxySettings().value()["__SCOPED__"].size(),
      machine->size());
}

// Reports, from a child in a network namespace of its own, what the check
// answers as a tunnel device appears and comes up. Exit 77: no namespace.
std::string TunnelReport() {
  if (unshare(CLONE_NEWNET) != 0) {
    _exit(77);
  }
  platform::os::SystemProxySettings settings;
  ScopedOverride<platform::CFNetwork> use(&settings);
  std::string text = "fresh=" + std::to_string(VPNCheck().checkVpn());
  // The loopback interface is up in a working namespace but is no tunnel.
  if (std::system("ip link set lo up") != 0) {
    return text + " (ip failed)";
  }
  text += " lo_up=" + std::to_string(VPNCheck().checkVpn());
  if (std::system("ip tuntap add dev tun0 mode tun") != 0) {
    return text + " (no tun device)";
  }
  text += " tun_down=" + std::to_string(VPNCheck().checkVpn());
  if (std::system("ip link set tun0 up") != 0) {
    return text + " (ip failed)";
  }
  return text + " tun_up=" + std::to_string(VPNCheck().checkVpn());
}

TEST(VpnCheckRealTest, TunnelDeviceCountsOnlyWhileUp) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  const pid_t child = fork();
  if (child == 0) {
    close(ends[0]);
    const std::string report = TunnelReport();
    _exit(write(ends[1], report.data(), report.size()) == static_cast<ssize_t>(report.size()) ? 0
                                                                                              : 1);
  }
  close(ends[1]);
  std::string report;
  char buffer[256];
  for (ssize_t count; (count = read(ends[0], buffer, sizeof buffer)) > 0;) {
    report.append(buffer, static_cast<size_t>(count));
  }
  close(ends[0]);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 77) {
    GTEST_SKIP() << "this machine forbids new network namespaces (unshare)";
  }
  if (report.find("no tun device") != std::string::npos) {
    GTEST_SKIP() << "this machine cannot create tun devices: " << report;
  }
  ASSERT_EQ(WEXITSTATUS(status), 0) << report;
  EXPECT_EQ(report, "fresh=0 lo_up=0 tun_down=0 tun_up=1");
}

}  // namespace
}  // namespace osxnatives
