// Cross build only: the run-time half of `@available`.
//
// For a check below the deployment target clang emits a call to
// __isPlatformVersionAtLeast, which Apple's toolchain supplies from its
// compiler-rt (libclang_rt.osx.a). Debian has no Darwin compiler-rt, so the
// cross build compiles this stand-in into the library instead; a native build
// on a Mac never compiles this file. It is hidden: the library does not export it.

#if !__has_feature(objc_arc)
#error "This file is built with automatic reference counting (-fobjc-arc)."
#endif

#import <Foundation/Foundation.h>

#include <cstdint>

namespace {

// The platform number clang passes for macOS (PLATFORM_MACOS in <mach-o/loader.h>).
constexpr uint32_t kPlatformMacOS = 1;

}  // namespace

// Returns 1 when the running system is macOS `major`.`minor`.`subminor` or later, else 0;
// 0 for any platform other than macOS. Thread-safe; reads the version once per process.
// NOLINTNEXTLINE(bugprone-reserved-identifier): the name the compiler emits calls to.
extern "C" __attribute__((visibility("hidden"))) int32_t __isPlatformVersionAtLeast(
    uint32_t platform, uint32_t major, uint32_t minor, uint32_t subminor) {
  if (platform != kPlatformMacOS) return 0;
  static const NSOperatingSystemVersion running =
      [[NSProcessInfo processInfo] operatingSystemVersion];
  const NSInteger have[] = {running.majorVersion, running.minorVersion, running.patchVersion};
  const NSInteger want[] = {static_cast<NSInteger>(major), static_cast<NSInteger>(minor),
                            static_cast<NSInteger>(subminor)};
  for (int i = 0; i < 3; ++i) {
    if (have[i] != want[i]) return have[i] > want[i] ? 1 : 0;
  }
  return 1;
}
