// Native methods of com.qor.kestrelgate.osx.natives.ExamIntegrity: the
// integrity report, the application watch and the capture protection of the
// host's own windows. A host without that class never calls them; nothing
// here runs at load.
#include <jni.h>

#include <memory>
#include <string>

#include "bridge/boundary.h"
#include "bridge/java_controller.h"
#include "bridge/scoped_jni.h"
#include "integrity/application_watch.h"
#include "integrity/capture_protection.h"
#include "integrity/integrity_report.h"

using osxnatives::bridge::Guarded;
using osxnatives::bridge::JavaController;
using osxnatives::bridge::JavaString;
using osxnatives::bridge::ScopedLocalRef;
using osxnatives::integrity::ApplicationWatch;

namespace {

constexpr char kEventMethod[] = "applicationEvent";
constexpr char kEventSignature[] = "(ZILjava/lang/String;Ljava/lang/String;)V";

// The Java class that started the watch, held as a global reference for as
// long as the watch's handler exists. Holding the class itself means that a
// platform thread (the main thread on macOS) never has to find it by name.
using ClassReference = std::shared_ptr<std::remove_pointer_t<jclass>>;

ClassReference KeepClass(JNIEnv* env, jclass type) {
  auto global = static_cast<jclass>(env->NewGlobalRef(type));
  if (global == nullptr) return nullptr;
  return {global, [](jclass kept) {
            if (JNIEnv* current = JavaController::getJNIEnv()) current->DeleteGlobalRef(kept);
          }};
}

// ExamIntegrity.applicationEvent(launched, pid, bundleId, name) on the
// calling platform thread, attached on first use. A Java exception is
// reported on standard error and cleared.
void SendEvent(const ClassReference& type,
               const osxnatives::platform::ApplicationLifecycleEvent& e) {
  JNIEnv* env = JavaController::getJNIEnv();
  if (env == nullptr) return;
  const jmethodID method = env->GetStaticMethodID(type.get(), kEventMethod, kEventSignature);
  if (method == nullptr) {
    env->ExceptionClear();
    return;
  }
  ScopedLocalRef<jstring> bundle(env, JavaString(env, e.application.bundleIdentifier));
  ScopedLocalRef<jstring> name(env, JavaString(env, e.application.localizedName));
  env->CallStaticVoidMethod(type.get(), method, static_cast<jboolean>(e.launched),
                            static_cast<jint>(e.application.processIdentifier), bundle.get(),
                            name.get());
  if (env->ExceptionCheck()) {
    env->ExceptionDescribe();
    env->ExceptionClear();
  }
}

// "<outcome>:<detail>", which ExamIntegrity splits into its WatchResult.
jstring Answer(JNIEnv* env, const ApplicationWatch::Answer& answer) {
  return JavaString(env, std::string(ApplicationWatch::Name(answer.outcome)) + ":" + answer.detail);
}

}  // namespace

extern "C" {

JNIEXPORT jstring JNICALL Java_com_qor_kestrelgate_osx_natives_ExamIntegrity_takeIntegrityReport(
    JNIEnv* env, jclass /*type*/) {
  return Guarded("takeIntegrityReport", jstring{nullptr}, [env] {
    return JavaString(env, osxnatives::integrity::IntegrityReport().Take());
  });
}

JNIEXPORT jstring JNICALL
Java_com_qor_kestrelgate_osx_natives_ExamIntegrity_startWatch(JNIEnv* env, jclass type) {
  return Guarded("startWatch", jstring{nullptr}, [env, type] {
    ClassReference kept = KeepClass(env, type);
    if (kept == nullptr) {
      env->ExceptionClear();
      return Answer(env, {ApplicationWatch::Outcome::kUnavailable, "out of Java memory"});
    }
    return Answer(env, ApplicationWatch::Instance().Start(
                           [kept](const osxnatives::platform::ApplicationLifecycleEvent& event) {
                             SendEvent(kept, event);
                           }));
  });
}

JNIEXPORT jstring JNICALL
Java_com_qor_kestrelgate_osx_natives_ExamIntegrity_stopWatch(JNIEnv* env, jclass /*type*/) {
  return Guarded("stopWatch", jstring{nullptr},
                 [env] { return Answer(env, ApplicationWatch::Instance().Stop()); });
}

JNIEXPORT jstring JNICALL
Java_com_qor_kestrelgate_osx_natives_ExamIntegrity_protectWindows(JNIEnv* env, jclass /*type*/) {
  return Guarded("protectWindows", jstring{nullptr}, [env] {
    return JavaString(env, osxnatives::integrity::CaptureProtection::Instance().Protect());
  });
}

JNIEXPORT jstring JNICALL
Java_com_qor_kestrelgate_osx_natives_ExamIntegrity_restoreWindows(JNIEnv* env, jclass /*type*/) {
  return Guarded("restoreWindows", jstring{nullptr}, [env] {
    return JavaString(env, osxnatives::integrity::CaptureProtection::Instance().Restore());
  });
}

}  // extern "C"
