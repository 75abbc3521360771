// Selection of the macOS service stand-ins.
//
// Every service family has one interface header in this folder (for example
// `ns_pasteboard.h`). The system's classes reach a service only through
// `platform::Get<Service>()`, which returns the test override when one is
// installed and the process-wide default otherwise.
//
// Defaults are registered at start-up by the backends (`macos/`, `linux/`,
// `posix/`, `sim/`), each from its one registration function (see
// `initialize.h`). A later registration replaces an earlier one, which is how
// the simulated desktop is layered over a real backend. The first `Get` of a
// service that has no default yet runs `platform::Initialize()` once.
//
// Example:
//   platform::Get<platform::NSPasteboard>().ClearContents();
//
//   // In a backend's registration function:
//   platform::SetDefault<platform::NSPasteboard>(&SimPasteboardInstance);
//
//   // In a test:
//   FakePasteboard fake;
//   platform::ScopedOverride<platform::NSPasteboard> use_fake(&fake);
#ifndef OSXNATIVES_PLATFORM_REGISTRY_H_
#define OSXNATIVES_PLATFORM_REGISTRY_H_

#include <atomic>
#include <stdexcept>
#include <string>
#include <typeinfo>

namespace osxnatives::platform {

// Runs `platform::Initialize()` the first time it is called; later calls
// return at once. Thread-safe.
void EnsureInitialized();

template <typename Service>
class ScopedOverride;

template <typename Service>
class Registry {
 public:
  using Factory = Service& (*)();

  // Returns the installed override, or the default. Throws std::logic_error
  // when no backend of this build provides the service.
  static Service& Get() {
    if (Service* installed = override_.load(std::memory_order_acquire)) {
      return *installed;
    }
    Factory factory = default_.load(std::memory_order_acquire);
    if (factory == nullptr) {
      EnsureInitialized();
      factory = default_.load(std::memory_order_acquire);
      if (factory == nullptr) {
        throw std::logic_error(std::string("no platform backend provides ") +
                               typeid(Service).name());
      }
    }
    return factory();
  }

  // `factory` returns the default, typically creating it on its first call
  // (thread-safe) and keeping it until the process ends.
  static void SetDefault(Factory factory) { default_.store(factory, std::memory_order_release); }

 private:
  friend class ScopedOverride<Service>;
  static inline std::atomic<Service*> override_{nullptr};
  static inline std::atomic<Factory> default_{nullptr};
};

template <typename Service>
Service& Get() {
  return Registry<Service>::Get();
}

// Makes `factory`'s service the default of `Service`. Backends call this from
// their registration function only.
template <typename Service>
void SetDefault(Service& (*factory)()) {
  Registry<Service>::SetDefault(factory);
}

// Makes `service` the default of `Service`. The backend keeps it alive until
// the process ends.
template <typename Service>
void SetDefault(Service* service) {
  static std::atomic<Service*> instance{nullptr};
  instance.store(service, std::memory_order_release);
  Registry<Service>::SetDefault(+[]() -> Service& { return *instance.load(); });
}

// Replaces the implementation of `Service` for the lifetime of this object and
// puts the previous one back on destruction. Overrides nest. The caller owns
// `replacement` and must keep it alive while installed. Meant for tests, which
// install overrides before the code under test runs on other threads.
template <typename Service>
class ScopedOverride {
 public:
  explicit ScopedOverride(Service* replacement)
      : previous_(Registry<Service>::override_.exchange(replacement)) {}
  ~ScopedOverride() { Registry<Service>::override_.store(previous_); }
  ScopedOverride(const ScopedOverride&) = delete;
  ScopedOverride& operator=(const ScopedOverride&) = delete;

 private:
  Service* previous_;
};

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_REGISTRY_H_
