// RAII owners for what the JVM hands out to native code.
#ifndef OSXNATIVES_BRIDGE_SCOPED_JNI_H_
#define OSXNATIVES_BRIDGE_SCOPED_JNI_H_

#include <jni.h>

#include <cstddef>
#include <cstring>

namespace osxnatives::bridge {

// Owns a local reference and deletes it on destruction. `get()` may be null.
template <typename T>
class ScopedLocalRef {
 public:
  ScopedLocalRef(JNIEnv* env, T ref) : env_(env), ref_(ref) {}
  ~ScopedLocalRef() { reset(); }
  ScopedLocalRef(const ScopedLocalRef&) = delete;
  ScopedLocalRef& operator=(const ScopedLocalRef&) = delete;

  void reset(T ref = nullptr) {
    if (ref_ != nullptr) env_->DeleteLocalRef(ref_);
    ref_ = ref;
  }
  // Gives up ownership, for a reference returned to Java.
  [[nodiscard]] T release() {
    T ref = ref_;
    ref_ = nullptr;
    return ref;
  }
  T get() const { return ref_; }

 private:
  JNIEnv* const env_;
  T ref_;
};

// The modified UTF-8 bytes of a Java string, released on destruction.
// `c_str()` is null when the string is null or the JVM ran out of memory.
class ScopedUtfChars {
 public:
  ScopedUtfChars(JNIEnv* env, jstring string)
      : env_(env),
        string_(string),
        chars_(string != nullptr ? env->GetStringUTFChars(string, nullptr) : nullptr) {}
  ~ScopedUtfChars() {
    if (chars_ != nullptr) env_->ReleaseStringUTFChars(string_, chars_);
  }
  ScopedUtfChars(const ScopedUtfChars&) = delete;
  ScopedUtfChars& operator=(const ScopedUtfChars&) = delete;

  const char* c_str() const { return chars_; }
  size_t size() const { return chars_ != nullptr ? std::strlen(chars_) : 0; }

 private:
  JNIEnv* const env_;
  const jstring string_;
  const char* const chars_;
};

}  // namespace osxnatives::bridge

#endif  // OSXNATIVES_BRIDGE_SCOPED_JNI_H_
