// What every native method does at the edge of the JVM: convert strings, and
// keep C++ exceptions from crossing into Java.
#ifndef OSXNATIVES_BRIDGE_BOUNDARY_H_
#define OSXNATIVES_BRIDGE_BOUNDARY_H_

#include <jni.h>

#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

namespace osxnatives::bridge {

// Logs "<method>: <what>" at "ERROR". Never throws.
void ReportFailure(const char* method, const char* what) noexcept;

// Runs `body` and returns its result. A C++ exception is caught, logged at
// "ERROR" under `method`'s name, and turns into `fallback`.
template <typename Body, typename Result = std::invoke_result_t<Body>>
Result Guarded(const char* method, Result fallback, Body&& body) noexcept {
  try {
    return body();
  } catch (const std::exception& e) {
    ReportFailure(method, e.what());
  } catch (...) {
    ReportFailure(method, "unknown exception");
  }
  return fallback;
}

template <typename Body>
void Guarded(const char* method, Body&& body) noexcept {
  try {
    body();
  } catch (const std::exception& e) {
    ReportFailure(method, e.what());
  } catch (...) {
    ReportFailure(method, "unknown exception");
  }
}

// Thrown by `StringArgument` for a null Java string; the guard logs it.
class NullArgument : public std::exception {
 public:
  const char* what() const noexcept override { return "null string argument"; }
};

// The text of a Java string in standard UTF-8. Throws NullArgument for null.
std::string StringArgument(JNIEnv* env, jstring value);
// As above, but a null string gives the empty text.
std::string StringArgumentOrEmpty(JNIEnv* env, jstring value);

// A new Java string of `text`, or null when `text` is absent. Ownership of the
// local reference passes to the caller (normally straight back to Java).
jstring JavaString(JNIEnv* env, const std::optional<std::string>& text);

}  // namespace osxnatives::bridge

#endif  // OSXNATIVES_BRIDGE_BOUNDARY_H_
