// CoreFoundation bundles, as used to reach private system functions that the
// library does not link against: create a bundle reference for a framework
// folder, load its executable, look a function up by name.
//
//   auto bundle = platform::Get<platform::CFBundles>().CFBundleCreate(path);
//   if (bundle && bundle->CFBundleLoadExecutable()) { ... }
//   auto set = bundle->CFBundleGetFunctionPointerForName("CGSSetSymbolicHotKeyEnabled");
//   if (set) (*set)(id, 1);
#ifndef OSXNATIVES_PLATFORM_CF_BUNDLE_H_
#define OSXNATIVES_PLATFORM_CF_BUNDLE_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/registry.h"

namespace osxnatives::platform {

// Folders of the frameworks that hold the private functions.
inline constexpr char kCoreGraphicsBundlePath[] =
    "/System/Library/Frameworks/ApplicationServices.framework/Frameworks/CoreGraphics.framework";
inline constexpr char kHIServicesBundlePath[] =
    "/System/Library/Frameworks/ApplicationServices.framework/Frameworks/HIServices.framework";

// A function found in a bundle. Every private function this library looks up
// takes at most two 32-bit integers and returns a 32-bit integer (a boolean, a
// CGError or nothing); unused arguments are ignored. A macOS backend wraps the
// raw pointer and casts it to the function's own signature:
//   "CGSIsSymbolicHotKeyEnabled"(id) -> nonzero when enabled
//   "CGSSetSymbolicHotKeyEnabled"(id, enabled) -> CGError
//   "CoreDockSetExposeCornerAction"(action, corner) -> (nothing)
using BundleFunction = std::function<int32_t(int32_t, int32_t)>;

// A bundle reference (`CFBundleRef`); released when destroyed. Functions
// looked up stay callable after the reference is released, as on macOS, where
// a loaded executable is never unloaded.
class CFBundleRef {
 public:
  virtual ~CFBundleRef() = default;
  // `CFBundleLoadExecutable`: true when the executable is loaded.
  virtual bool CFBundleLoadExecutable() = 0;
  // `CFBundleGetFunctionPointerForName`: nullopt when the bundle has no
  // function of that name (or its executable could not be loaded).
  virtual std::optional<BundleFunction> CFBundleGetFunctionPointerForName(
      std::string_view name) = 0;
};

class CFBundles {
 public:
  virtual ~CFBundles() = default;
  // `CFBundleCreate(kCFAllocatorDefault, url)` for the bundle folder at
  // `bundle_path`; null when there is no bundle there. Thread-safe.
  virtual std::unique_ptr<CFBundleRef> CFBundleCreate(std::string_view bundle_path) = 0;
};

}  // namespace osxnatives::platform

#endif  // OSXNATIVES_PLATFORM_CF_BUNDLE_H_
