// CoreFoundation bundles on macOS, and the private functions the library looks
// up in them, each called through its own signature.
#if !__has_feature(objc_arc)
#error "This file is built with automatic reference counting (-fobjc-arc)."
#endif

#include <CoreFoundation/CoreFoundation.h>
#include <CoreGraphics/CoreGraphics.h>

#include <memory>
#include <string_view>
#include <utility>

#include "platform/cf_bundle.h"
#include "platform/macos/scoped_cf.h"
#include "platform/macos/services.h"

namespace osxnatives::platform::macos {
namespace {

// A retained CFBundleRef, released with its last holder. Each function looked
// up holds one, so its code stays loaded while it can be called.
using BundleHolder = std::shared_ptr<const ScopedCFTypeRef<::CFBundleRef>>;

// The signatures of the private functions, as the system defines them. A
// function must be called through its own: read as a 32-bit integer, a
// `bool` result leaves the upper bits undefined on x86_64.
using IsSymbolicHotKeyEnabled = bool (*)(int32_t hotKey);
using SetSymbolicHotKeyEnabled = ::CGError (*)(int32_t hotKey, bool enabled);
using SetExposeCornerAction = void (*)(int32_t action, int32_t corner);

// `pointer`, the function `name` of `bundle`, behind our uniform signature;
// nullopt for a function whose signature this file does not know.
std::optional<BundleFunction> Wrapped(std::string_view name, void* pointer, BundleHolder bundle) {
  if (name == "CGSIsSymbolicHotKeyEnabled") {
    auto function = reinterpret_cast<IsSymbolicHotKeyEnabled>(pointer);
    return BundleFunction([function, bundle = std::move(bundle)](int32_t hotKey, int32_t) {
      return function(hotKey) ? 1 : 0;
    });
  }
  if (name == "CGSSetSymbolicHotKeyEnabled") {
    auto function = reinterpret_cast<SetSymbolicHotKeyEnabled>(pointer);
    return BundleFunction([function, bundle = std::move(bundle)](int32_t hotKey, int32_t enabled) {
      return static_cast<int32_t>(function(hotKey, enabled != 0));
    });
  }
  if (name == "CoreDockSetExposeCornerAction") {
    auto function = reinterpret_cast<SetExposeCornerAction>(pointer);
    return BundleFunction([function, bundle = std::move(bundle)](int32_t action, int32_t corner) {
      function(action, corner);
      return 0;
    });
  }
  return std::nullopt;
}

class BundleReference : public CFBundleRef {
 public:
  explicit BundleReference(BundleHolder bundle) : bundle_(std::move(bundle)) {}

  bool CFBundleLoadExecutable() override { return ::CFBundleLoadExecutable(Bundle()); }

  std::optional<BundleFunction> CFBundleGetFunctionPointerForName(std::string_view name) override {
    const ScopedCFTypeRef<CFStringRef> function_name(
        CFStringCreateWithBytes(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(name.data()),
                                static_cast<CFIndex>(name.size()), kCFStringEncodingUTF8, false));
    if (!function_name) return std::nullopt;
    void* pointer = ::CFBundleGetFunctionPointerForName(Bundle(), function_name.get());
    if (pointer == nullptr) return std::nullopt;
    return Wrapped(name, pointer, bundle_);
  }

 private:
  ::CFBundleRef Bundle() const { return bundle_->get(); }

  const BundleHolder bundle_;
};

// The URL of a bundle folder given as a path, or as a URL text when it starts
// with "file://". The caller owns the result; null when it cannot be formed.
CFURLRef CreateBundleURL(std::string_view bundle_path) CF_RETURNS_RETAINED {
  const auto* bytes = reinterpret_cast<const UInt8*>(bundle_path.data());
  const auto length = static_cast<CFIndex>(bundle_path.size());
  if (bundle_path.substr(0, 7) == "file://") {
    return CFURLCreateWithBytes(kCFAllocatorDefault, bytes, length, kCFStringEncodingUTF8, nullptr);
  }
  return CFURLCreateFromFileSystemRepresentation(kCFAllocatorDefault, bytes, length, true);
}

class Bundles : public CFBundles {
 public:
  std::unique_ptr<CFBundleRef> CFBundleCreate(std::string_view bundle_path) override {
    if (bundle_path.empty()) return nullptr;
    const ScopedCFTypeRef<CFURLRef> url(CreateBundleURL(bundle_path));
    if (!url) return nullptr;
    ScopedCFTypeRef<::CFBundleRef> bundle(::CFBundleCreate(kCFAllocatorDefault, url.get()));
    if (!bundle) return nullptr;
    return std::make_unique<BundleReference>(
        std::make_shared<const ScopedCFTypeRef<::CFBundleRef>>(std::move(bundle)));
  }
};

}  // namespace

void RegisterPrivateFunctions() { SetDefault<CFBundles>(new Bundles()); }

}  // namespace osxnatives::platform::macos
