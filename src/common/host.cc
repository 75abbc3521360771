#include "common/host.h"

#include <atomic>

namespace osxnatives {
namespace {

std::atomic<HostCallbacks*> g_host{nullptr};

}  // namespace

void SetHost(HostCallbacks* host) { g_host.store(host, std::memory_order_release); }

void Log(std::string_view message, std::string_view level) {
  if (HostCallbacks* host = g_host.load(std::memory_order_acquire)) host->Log(message, level);
}

void NavigateToUrl(std::string_view url) {
  if (HostCallbacks* host = g_host.load(std::memory_order_acquire)) host->NavigateToUrl(url);
}

void CloseRequest() {
  if (HostCallbacks* host = g_host.load(std::memory_order_acquire)) host->CloseRequest();
}

ScopedHost::ScopedHost(HostCallbacks* host)
    : previous_(g_host.exchange(host, std::memory_order_acq_rel)) {}

ScopedHost::~ScopedHost() { g_host.store(previous_, std::memory_order_release); }

}  // namespace osxnatives
