// Selection of the macOS service stand-ins.
//
// Every service family has one interface header in this folder (for example
// `ns_pasteboard.h`). The system's classes reach a service only through
// `platform::Get<Service>()`, which returns the test override when one is
// installed and the process-wide default otherwise. The default of each
// service is chosen in exactly one backend file, which defines
// `Registry<Service>::Default()`: the real Linux facility where Linux has one
// (`linux/`), the simulated desktop where it does not (`sim/`). The build
// compiles one backend per service; no function picks a backend at run time.
//
// Example:
//   platform::Get<platform::NSPasteboard>().ClearContents();
//
//   // In a test:
//   FakePasteboard fake;
//   platform::ScopedOverride<platform::NSPasteboard> use_fake(&fake);
#ifndef OSXNATIVES_PLATFORM_REGISTRY_H_
#define OSXNATIVES_PLATFORM_REGISTRY_H_

#include <atomic>

namespace osxnatives::platform {

template <typename Service>
class ScopedOverride;

template <typename Service>
class Registry {
 public:
  // Returns the installed override, or the default. The default is created on
  // first use (thread-safe) and lives until the process ends.
  static Service& Get() {
    Service* installed = override_.load(std::memory_order_acquire);
    return installed != nullptr ? *installed : Default();
  }

  // Defined once per service by its backend.
  static Service& Default();

 private:
  friend class ScopedOverride<Service>;
  static inline std::atomic<Service*> override_{nullptr};
};

template <typename Service>
Service& Get() {
  return Registry<Service>::Get();
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
