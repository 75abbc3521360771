// Native methods of the input lockdown: hot corners, symbolic hot keys,
// notification centre and displays, through the controller's class-wide
// handlers.
#include <jni.h>

#include "bridge/boundary.h"
#include "bridge/java_controller.h"
#include "controller/security_controller_swift.h"

using osxnatives::SecurityControllerSwift;
using osxnatives::bridge::Guarded;
using osxnatives::bridge::JavaController;

extern "C" {

JNIEXPORT void JNICALL Java_com_qor_kestrelgate_osx_natives_OSXNativeProvider_startInputHandler(
    JNIEnv* /*env*/, jobject /*receiver*/) {
  Guarded("startInputHandler", [] {
    JavaController::log("Starting input handler", "INFO");
    SecurityControllerSwift::startInputHandler();
  });
}

JNIEXPORT void JNICALL Java_com_qor_kestrelgate_osx_natives_OSXNativeProvider_stopInputHandler(
    JNIEnv* /*env*/, jobject /*receiver*/) {
  Guarded("stopInputHandler", [] {
    JavaController::log("Stopping input handler", "INFO");
    SecurityControllerSwift::stopInputHandler();
  });
}

}  // extern "C"
