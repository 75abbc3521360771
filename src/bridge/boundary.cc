#include "bridge/boundary.h"

#include "bridge/java_controller.h"
#include "bridge/modified_utf8.h"
#include "bridge/scoped_jni.h"

namespace osxnatives::bridge {

void ReportFailure(const char* method, const char* what) noexcept {
  try {
    JavaController::log(std::string(method) + ": " + what, "ERROR");
  } catch (...) {  // NOLINT(bugprone-empty-catch): nothing more can be reported.
  }
}

std::string StringArgument(JNIEnv* env, jstring value) {
  if (value == nullptr) throw NullArgument();
  ScopedUtfChars chars(env, value);
  if (chars.c_str() == nullptr) throw std::bad_alloc();
  return FromModifiedUtf8({chars.c_str(), chars.size()});
}

std::string StringArgumentOrEmpty(JNIEnv* env, jstring value) {
  return value == nullptr ? std::string() : StringArgument(env, value);
}

jstring JavaString(JNIEnv* env, const std::optional<std::string>& text) {
  if (!text.has_value()) return nullptr;
  // Process-list documents run to megabytes: hand them over without a copy
  // whenever the bytes already are what the JVM reads.
  if (IsModifiedUtf8AsIs(*text)) return env->NewStringUTF(text->c_str());
  return env->NewStringUTF(ToModifiedUtf8(*text).c_str());
}

}  // namespace osxnatives::bridge
