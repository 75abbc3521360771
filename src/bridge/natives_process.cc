// Native methods of process management: listing, paths, pause, kill, resume,
// and the library's own process id.
#include <jni.h>

#include <optional>
#include <string>

#include "bridge/boundary.h"
#include "controller/security_controller_swift.h"
#include "process/process_controller_swift.h"

using osxnatives::ProcessControllerSwift;
using osxnatives::SecurityControllerSwift;
using osxnatives::bridge::Guarded;
using osxnatives::bridge::JavaString;
using osxnatives::bridge::StringArgument;

extern "C" {

JNIEXPORT jstring JNICALL Java_com_qor_kestrelgate_osx_natives_OSXNativeProvider_getAllProcesses(
    JNIEnv* env, jclass /*receiver*/, jstring pausePhase) {
  return Guarded("getAllProcesses", jstring{nullptr}, [&] {
    const std::string phase = StringArgument(env, pausePhase);
    return JavaString(env, SecurityControllerSwift().getAllProcesses(phase));
  });
}

JNIEXPORT jstring JNICALL Java_com_qor_kestrelgate_osx_natives_OSXNativeProvider_pauseAllProcesses(
    JNIEnv* env, jclass /*receiver*/, jstring processList) {
  return Guarded("pauseAllProcesses", jstring{nullptr}, [&] {
    const std::string json = StringArgument(env, processList);
    return JavaString(env, SecurityControllerSwift().pauseAll(json));
  });
}

JNIEXPORT jstring JNICALL Java_com_qor_kestrelgate_osx_natives_OSXNativeProvider_killAllProcesses(
    JNIEnv* env, jclass /*receiver*/, jstring processList) {
  return Guarded("killAllProcesses", jstring{nullptr}, [&] {
    const std::string json = StringArgument(env, processList);
    return JavaString(env, SecurityControllerSwift().killAll(json));
  });
}

JNIEXPORT void JNICALL Java_com_qor_kestrelgate_osx_natives_OSXNativeProvider_resumeAllProcesses(
    JNIEnv* env, jclass /*receiver*/, jstring processList) {
  Guarded("resumeAllProcesses", [&] {
    const std::string json = StringArgument(env, processList);
    SecurityControllerSwift().resumeAll(json);
  });
}

JNIEXPORT jstring JNICALL Java_com_qor_kestrelgate_osx_natives_OSXNativeProvider_getProcessPath(
    JNIEnv* env, jclass /*receiver*/, jstring pid) {
  return Guarded("getProcessPath", jstring{nullptr}, [&] {
    const std::string text = StringArgument(env, pid);
    return JavaString(env, SecurityControllerSwift().getProcessPath(text));
  });
}

JNIEXPORT jint JNICALL Java_com_qor_kestrelgate_osx_natives_OSXNativeProvider_getCurrentProcessId(
    JNIEnv* /*env*/, jclass /*receiver*/) {
  return Guarded("getCurrentProcessId", jint{0},
                 [] { return static_cast<jint>(ProcessControllerSwift().getCurrentProcessId()); });
}

}  // extern "C"
