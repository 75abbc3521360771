// Native methods that ask about the displays.
#include <jni.h>

#include "bridge/boundary.h"
#include "checks/display_handler_swift.h"

using osxnatives::DisplayHandlerSwift;
using osxnatives::bridge::Guarded;
using osxnatives::bridge::JavaString;

extern "C" {

JNIEXPORT jint JNICALL Java_com_qor_kestrelgate_osx_natives_OSXNativeProvider_getDisplayCount(
    JNIEnv* /*env*/, jobject /*receiver*/) {
  return Guarded("getDisplayCount", jint{1}, [] {
    // The platform's integer is cut to its low 32 bits.
    return static_cast<jint>(DisplayHandlerSwift().getDisplayCount());
  });
}

JNIEXPORT jstring JNICALL Java_com_qor_kestrelgate_osx_natives_OSXNativeProvider_getMainScreenName(
    JNIEnv* env, jobject /*receiver*/) {
  return Guarded("getMainScreenName", jstring{nullptr},
                 [env] { return JavaString(env, DisplayHandlerSwift().getMainScreenName()); });
}

}  // extern "C"
