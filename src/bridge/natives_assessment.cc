// Native methods of com.qor.kestrelgate.osx.natives.AssessmentMode (Apple's
// assessment mode), and the callback that hands its session events to Java.
//
// Nothing here runs at load: a host without the AssessmentMode class loads and
// runs as before. The class is looked up on each event, by name and through
// the class loader kept at load.
#include <jni.h>

#include <memory>
#include <string>

#include "assessment/assessment_mode.h"
#include "bridge/boundary.h"
#include "bridge/java_controller.h"
#include "bridge/scoped_jni.h"

namespace osxnatives::bridge {
namespace {

using assessment::AssessmentMode;
using assessment::SessionEvent;

constexpr char kAssessmentClass[] = "com/qor/kestrelgate/osx/natives/AssessmentMode";
constexpr char kEventMethod[] = "sessionEvent";
constexpr char kEventSignature[] = "(Ljava/lang/String;Ljava/lang/String;JLjava/lang/String;)V";

// A Java exception a listener left behind is reported on standard error and
// cleared, so the delivering thread goes on.
void ClearPendingException(JNIEnv* env) {
  if (!env->ExceptionCheck()) return;
  env->ExceptionDescribe();
  env->ExceptionClear();
}

// AssessmentMode.sessionEvent(event, errorDomain, errorCode, errorDescription)
// on the delivering thread, attached on first use. Dropped when the JVM or the
// class cannot be reached (a host without the class, a JVM shutting down).
class JavaSessionEvents : public assessment::SessionEventSink {
 public:
  void OnSessionEvent(const SessionEvent& event) override {
    JNIEnv* env = JavaController::getJNIEnv();
    if (env == nullptr) return;
    ScopedLocalRef<jclass> type(env, JavaController::findClass(env, kAssessmentClass));
    if (type.get() == nullptr) return;
    const jmethodID method = env->GetStaticMethodID(type.get(), kEventMethod, kEventSignature);
    if (method == nullptr) {
      ClearPendingException(env);
      return;
    }
    ScopedLocalRef<jstring> name(env, JavaString(env, assessment::EventName(event.kind)));
    ScopedLocalRef<jstring> domain(env,
                                   event.error ? JavaString(env, event.error->domain) : nullptr);
    ScopedLocalRef<jstring> description(
        env, event.error ? JavaString(env, event.error->localizedDescription) : nullptr);
    if (env->ExceptionCheck() || name.get() == nullptr) {
      ClearPendingException(env);
      return;
    }
    const jlong code = event.error ? static_cast<jlong>(event.error->code) : 0;
    env->CallStaticVoidMethod(type.get(), method, name.get(), domain.get(), code,
                              description.get());
    ClearPendingException(env);
  }
};

// The process-wide assessment mode. Never destroyed: the system may deliver
// events while the process exits.
AssessmentMode& Shared() {
  static auto* const sink = new JavaSessionEvents();
  static auto* const mode = new std::shared_ptr<AssessmentMode>(AssessmentMode::Create(*sink));
  return **mode;
}

}  // namespace
}  // namespace osxnatives::bridge

using osxnatives::bridge::Guarded;
using osxnatives::bridge::JavaString;
using osxnatives::bridge::StringArgumentOrEmpty;

extern "C" {

JNIEXPORT jstring JNICALL
Java_com_qor_kestrelgate_osx_natives_AssessmentMode_availability(JNIEnv* env, jclass /*receiver*/) {
  return Guarded("AssessmentMode.availability", jstring{nullptr},
                 [env] { return JavaString(env, osxnatives::bridge::Shared().availability()); });
}

JNIEXPORT jstring JNICALL Java_com_qor_kestrelgate_osx_natives_AssessmentMode_begin(
    JNIEnv* env, jclass /*receiver*/, jstring configuration) {
  return Guarded("AssessmentMode.begin", jstring{nullptr}, [env, configuration] {
    const std::string text = StringArgumentOrEmpty(env, configuration);
    return JavaString(env, osxnatives::bridge::Shared().begin(text));
  });
}

JNIEXPORT jstring JNICALL Java_com_qor_kestrelgate_osx_natives_AssessmentMode_update(
    JNIEnv* env, jclass /*receiver*/, jstring configuration) {
  return Guarded("AssessmentMode.update", jstring{nullptr}, [env, configuration] {
    const std::string text = StringArgumentOrEmpty(env, configuration);
    return JavaString(env, osxnatives::bridge::Shared().update(text));
  });
}

JNIEXPORT jstring JNICALL
Java_com_qor_kestrelgate_osx_natives_AssessmentMode_end(JNIEnv* env, jclass /*receiver*/) {
  return Guarded("AssessmentMode.end", jstring{nullptr},
                 [env] { return JavaString(env, osxnatives::bridge::Shared().end()); });
}

}  // extern "C"
