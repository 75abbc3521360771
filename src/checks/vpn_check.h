// VPNCheck: whether a virtual private network seems to be in use.
#ifndef OSXNATIVES_CHECKS_VPN_CHECK_H_
#define OSXNATIVES_CHECKS_VPN_CHECK_H_

#include <array>
#include <cstdint>
#include <string_view>

namespace osxnatives {

// Stateless; create one per call.
class VPNCheck {
 public:
  // Name prefixes of tunnelling interface types, in the order they are tried.
  static constexpr std::array<std::string_view, 5> kVpnInterfacePrefixes = {"tap", "tun", "ppp",
                                                                            "ipsec", "utun"};

  virtual ~VPNCheck() = default;

  // 1 when an interface with proxy settings of its own (the keys of the
  // system proxy configuration's "__SCOPED__" dictionary) has a name that
  // starts with one of the prefixes, compared exactly and case-sensitively;
  // 0 otherwise and on every failure (no configuration, no "__SCOPED__", a
  // "__SCOPED__" that is not a dictionary or is empty). Logs nothing. Runs on
  // the calling thread.
  virtual int64_t checkVpn();
};

}  // namespace osxnatives

#endif  // OSXNATIVES_CHECKS_VPN_CHECK_H_
