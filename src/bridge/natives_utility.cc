// Native methods of the utilities: Info.plist values and permission requests.
#include <jni.h>

#include <string>

#include "bridge/boundary.h"
#include "bridge/java_controller.h"
#include "utility/utility_swift.h"

using osxnatives::UtilitySwift;
using osxnatives::bridge::Guarded;
using osxnatives::bridge::JavaController;
using osxnatives::bridge::JavaString;
using osxnatives::bridge::StringArgument;

extern "C" {

JNIEXPORT jstring JNICALL
Java_com_qor_kestrelgate_osx_natives_OSXNativeProvider_getInfoPlistProperty(JNIEnv* env,
                                                                            jobject /*receiver*/,
                                                                            jstring key) {
  return Guarded("getInfoPlistProperty", jstring{nullptr}, [env, key] {
    const std::string text = StringArgument(env, key);
    return JavaString(env, UtilitySwift().getInfoPlistProperty(text));
  });
}

JNIEXPORT void JNICALL
Java_com_qor_kestrelgate_osx_natives_OSXNativeProvider_requestMicrophonePermission(
    JNIEnv* /*env*/, jobject /*receiver*/) {
  Guarded("requestMicrophonePermission", [] {
    JavaController::log("check For Microphone Permission", "INFO");
    UtilitySwift().requestMicrophonePermission();
  });
}

JNIEXPORT void JNICALL
Java_com_qor_kestrelgate_osx_natives_OSXNativeProvider_requestAccessibilityPermission(
    JNIEnv* /*env*/, jobject /*receiver*/) {
  Guarded("requestAccessibilityPermission", [] {
    JavaController::log("check For Accessibility Permission", "INFO");
    UtilitySwift().requestAccessibilityPermission();
  });
}

JNIEXPORT void JNICALL
Java_com_qor_kestrelgate_osx_natives_OSXNativeProvider_requestCameraPermission(
    JNIEnv* /*env*/, jobject /*receiver*/) {
  Guarded("requestCameraPermission", [] {
    JavaController::log("check For Camera Permission", "INFO");
    UtilitySwift().requestCameraPermission();
  });
}

}  // extern "C"
