// The library's only way back to its host application.
//
// Everything below the JNI bridge reports progress and errors through `Log`,
// hands URLs over with `NavigateToUrl` and asks the host to close with
// `CloseRequest`. The bridge installs an implementation that calls the Java
// host class; tests install a recording one through `ScopedHost`. Before any
// host is installed every call is dropped.
#ifndef OSXNATIVES_COMMON_HOST_H_
#define OSXNATIVES_COMMON_HOST_H_

#include <string_view>

namespace osxnatives {

// Receiver of the library's callbacks. Implementations must be callable from
// any thread, including threads the host has never seen.
class HostCallbacks {
 public:
  virtual ~HostCallbacks() = default;
  // Sends one log line; `level` is passed through unchanged ("INFO", "ERROR",
  // "error").
  virtual void Log(std::string_view message, std::string_view level) = 0;
  virtual void NavigateToUrl(std::string_view url) = 0;
  virtual void CloseRequest() = 0;
};

// Installs `host` as the process-wide receiver; null removes it. The caller
// keeps ownership and must keep it alive while installed. Thread-safe.
void SetHost(HostCallbacks* host);

// Forward to the installed host, or do nothing when there is none.
// Thread-safe.
void Log(std::string_view message, std::string_view level);
void NavigateToUrl(std::string_view url);
void CloseRequest();

// Installs a host for the lifetime of the object and restores the previous
// one on destruction. For tests.
class ScopedHost {
 public:
  explicit ScopedHost(HostCallbacks* host);
  ~ScopedHost();
  ScopedHost(const ScopedHost&) = delete;
  ScopedHost& operator=(const ScopedHost&) = delete;

 private:
  HostCallbacks* previous_;
};

}  // namespace osxnatives

#endif  // OSXNATIVES_COMMON_HOST_H_
