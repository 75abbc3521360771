// The one owner type of the macOS backend for CoreFoundation objects (and
// IOKit objects, through `ScopedIOObject`): a move-only holder that releases
// what it owns when it goes out of scope, whatever path leaves the scope.
//
// Use it for every Create/Copy result (+1, `kAssume`), and wrap a Get result
// (borrowed, +0) only when it has to outlive its source (`kRetain`). Hand an
// object on to ARC with `CFBridgingRelease(owner.release())`.
#ifndef OSXNATIVES_PLATFORM_MACOS_SCOPED_CF_H_
#define OSXNATIVES_PLATFORM_MACOS_SCOPED_CF_H_

#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/IOKitLib.h>

#include <utility>

namespace osxnatives::platform::macos {

enum class Ownership {
  kAssume,  // the reference is already ours (Create/Copy rule)
  kRetain,  // the reference is borrowed (Get rule): retain it
};

// Owns one reference to a CoreFoundation object of type `T` (a CF ref type
// such as `CFStringRef`), or nothing. Not thread-safe; an owner is used by
// one thread at a time.
template <typename T>
class ScopedCFTypeRef {
 public:
  ScopedCFTypeRef() = default;
  explicit ScopedCFTypeRef(T object, Ownership ownership = Ownership::kAssume) : object_(object) {
    if (object_ != nullptr && ownership == Ownership::kRetain) CFRetain(object_);
  }
  ScopedCFTypeRef(const ScopedCFTypeRef&) = delete;
  ScopedCFTypeRef& operator=(const ScopedCFTypeRef&) = delete;
  ScopedCFTypeRef(ScopedCFTypeRef&& other) noexcept : object_(other.release()) {}
  ScopedCFTypeRef& operator=(ScopedCFTypeRef&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ~ScopedCFTypeRef() { reset(); }

  // The object, still owned by this holder; null when it holds nothing.
  T get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

  // Releases the held object and takes `object` (already +1) in its place.
  void reset(T object = nullptr) {
    if (object_ != nullptr) CFRelease(object_);
    object_ = object;
  }

  // Gives up ownership: the caller now owns the returned reference.
  [[nodiscard]] T release() { return std::exchange(object_, nullptr); }

  // For a Create-rule out-parameter (`IORegistryEntryCreateCFProperties`):
  // releases what is held and returns the address the call fills in.
  T* InitializeInto() {
    reset();
    return &object_;
  }

 private:
  T object_ = nullptr;
};

// Owns one IOKit object reference (`io_object_t`, `io_iterator_t`,
// `io_registry_entry_t`), released with `IOObjectRelease`.
class ScopedIOObject {
 public:
  ScopedIOObject() = default;
  explicit ScopedIOObject(io_object_t object) : object_(object) {}
  ScopedIOObject(const ScopedIOObject&) = delete;
  ScopedIOObject& operator=(const ScopedIOObject&) = delete;
  ScopedIOObject(ScopedIOObject&& other) noexcept
      : object_(std::exchange(other.object_, IO_OBJECT_NULL)) {}
  ScopedIOObject& operator=(ScopedIOObject&& other) noexcept {
    reset(std::exchange(other.object_, IO_OBJECT_NULL));
    return *this;
  }
  ~ScopedIOObject() { reset(); }

  io_object_t get() const { return object_; }
  explicit operator bool() const { return object_ != IO_OBJECT_NULL; }

  void reset(io_object_t object = IO_OBJECT_NULL) {
    if (object_ != IO_OBJECT_NULL) IOObjectRelease(object_);
    object_ = object;
  }

  io_object_t* InitializeInto() {
    reset();
    return &object_;
  }

 private:
  io_object_t object_ = IO_OBJECT_NULL;
};

}  // namespace osxnatives::platform::macos

#endif  // OSXNATIVES_PLATFORM_MACOS_SCOPED_CF_H_
