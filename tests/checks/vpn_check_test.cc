#include "checks/vpn_check.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/linux/proxy_settings.h"
#include "platform/sim/scenario.h"

namespace osxnatives {
namespace {

using platform::ScopedOverride;

class FakeProxySettings : public platform::CFNetwork {
 public:
  explicit FakeProxySettings(std::optional<nlohmann::json> settings)
      : settings_(std::move(settings)) {}
  std::optional<nlohmann::json> CopySystemProxySettings() override { return settings_; }

 private:
  std::optional<nlohmann::json> settings_;
};

int64_t CheckWith(std::optional<nlohmann::json> settings) {
  FakeProxySettings fake(std::move(settings));
  ScopedOverride<platform::CFNetwork> use(&fake);
  return VPNCheck().checkVpn();
}

nlohmann::json Scoped(std::initializer_list<const char*> names) {
  nlohmann::json scoped = nlohmann::json::object();
  for (const char* name : names) {
    scoped[name] = {{"HTTPEnable", 0}};
  }
  return {{"__SCOPED__", scoped}, {"HTTPEnable", 0}};
}

struct PrefixCase {
  const char* name;
  nlohmann::json settings;
  int64_t expected;
};

void PrintTo(const PrefixCase& c, std::ostream* os) { *os << c.name; }

class VpnPrefixTest : public ::testing::TestWithParam<PrefixCase> {};

TEST_P(VpnPrefixTest, ReportsTunnelInterfacesOnly) {
  EXPECT_EQ(CheckWith(GetParam().settings), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, VpnPrefixTest,
    ::testing::Values(
        PrefixCase{"en0_utun3", Scoped({"en0", "utun3"}), 1},
        PrefixCase{"en0_en1", Scoped({"en0", "en1"}), 0}, PrefixCase{"ppp0", Scoped({"ppp0"}), 1},
        PrefixCase{"ipsec0", Scoped({"ipsec0"}), 1}, PrefixCase{"tap0", Scoped({"tap0"}), 1},
        PrefixCase{"tun0", Scoped({"tun0"}), 1}, PrefixCase{"bare_prefix", Scoped({"tun"}), 1},
        PrefixCase{"prefix_after_first_char", Scoped({"xtun0"}), 0},
        PrefixCase{"upper_case", Scoped({"UTUN0"}), 0},
        PrefixCase{"shorter_than_prefix", Scoped({"ips", "ut", "t"}), 0},
        PrefixCase{"empty_name", Scoped({""}), 0}, PrefixCase{"empty_scoped", Scoped({}), 0},
        PrefixCase{"no_scoped", {{"HTTPEnable", 0}}, 0},
        PrefixCase{"scoped_is_array", {{"__SCOPED__", {"utun0"}}}, 0},
        PrefixCase{"scoped_is_string", {{"__SCOPED__", "utun0"}}, 0},
        PrefixCase{"settings_not_object", nlohmann::json::array({"utun0"}), 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(VpnCheckTest, NoProxyConfigurationGivesZero) { EXPECT_EQ(CheckWith(std::nullopt), 0); }

TEST(SystemProxySettingsTest, ScenarioInterfacesReplaceTheMachines) {
  auto scenario =
      platform::sim::Scenario::Parse(R"({"networkInterfaces": ["lo", null, "utun3"]})", "test");
  platform::os::SystemProxySettings settings(scenario);
  ScopedOverride<platform::CFNetwork> use(&settings);
  EXPECT_EQ(settings.CopySystemProxySettings(),
            nlohmann::json::parse(R"({"__SCOPED__": {"lo": {}, "utun3": {}}})"));
  EXPECT_EQ(VPNCheck().checkVpn(), 1);
}

TEST(SystemProxySettingsTest, MalformedScenarioListFallsBackToTheMachine) {
  auto scenario = platform::sim::Scenario::Parse(R"({"networkInterfaces": "utun3"})", "test");
  ::testing::internal::CaptureStderr();
  platform::os::SystemProxySettings settings(scenario);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("networkInterfaces"), std::string::npos) << err;
  auto machine = platform::os::UpInterfaceNames();
  ASSERT_TRUE(machine.has_value());
  auto scoped = settings.CopySystemProxySettings();
  ASSERT_TRUE(scoped.has_value());
  EXPECT_EQ((*scoped)["__SCOPED__"].size(), machine->size());
}

// Runs `body` in a child process inside a network namespace of its own.
// Returns what the child wrote, or nullopt when the machine forbids new
// network namespaces.
template <typename Body>
std::optional<std::string> InFreshNetworkNamespace(Body body) {
  int ends[2];
  if (pipe(ends) != 0) {
    return "pipe failed";
  }
  const pid_t child = fork();
  if (child == 0) {
    close(ends[0]);
    if (unshare(CLONE_NEWNET) != 0) {
      _exit(77);
    }
    const std::string report = body();
    const ssize_t written = write(ends[1], report.data(), report.size());
    _exit(written == static_cast<ssize_t>(report.size()) ? 0 : 1);
  }
  close(ends[1]);
  std::string report;
  char buffer[256];
  for (ssize_t count; (count = read(ends[0], buffer, sizeof buffer)) > 0;) {
    report.append(buffer, static_cast<size_t>(count));
  }
  close(ends[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 77) {
    return std::nullopt;
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return "child failed: " + report;
  }
  return report;
}

TEST(VpnCheckRealTest, TunnelDeviceCountsOnlyWhileUp) {
  auto report = InFreshNetworkNamespace([] {
    platform::os::SystemProxySettings settings((platform::sim::Scenario()));
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
    text += " tun_up=" + std::to_string(VPNCheck().checkVpn());
    return text;
  });
  if (!report) {
    GTEST_SKIP() << "this machine forbids new network namespaces (unshare)";
  }
  if (report->find("no tun device") != std::string::npos) {
    GTEST_SKIP() << "this machine cannot create tun devices: " << *report;
  }
  EXPECT_EQ(*report, "fresh=0 lo_up=0 tun_down=0 tun_up=1");
}

}  // namespace
}  // namespace osxnatives
