// Native methods of the presentation modes: Dock, menu bar, process switching.
#include <jni.h>

#include "bridge/boundary.h"
#include "bridge/java_controller.h"
#include "controller/security_controller_swift.h"

using osxnatives::SecurityControllerSwift;
using osxnatives::bridge::Guarded;
using osxnatives::bridge::JavaController;

extern "C" {

JNIEXPORT void JNICALL Java_com_qor_kestrelgate_osx_natives_OSXNativeProvider_hideDockAndMenu(
    JNIEnv* /*env*/, jobject /*receiver*/) {
  Guarded("hideDockAndMenu", [] {
    JavaController::log("Hide dock", "INFO");
    SecurityControllerSwift().setUIModeAllHidden();
  });
}

JNIEXPORT void JNICALL Java_com_qor_kestrelgate_osx_natives_OSXNativeProvider_hideDock(
    JNIEnv* /*env*/, jobject /*receiver*/) {
  Guarded("hideDock", [] {
    JavaController::log("Hide dock", "INFO");
    SecurityControllerSwift().setDockAndMenuHidden();
  });
}

JNIEXPORT void JNICALL Java_com_qor_kestrelgate_osx_natives_OSXNativeProvider_showDockAndMenu(
    JNIEnv* /*env*/, jobject /*receiver*/) {
  Guarded("showDockAndMenu", [] {
    JavaController::log("Show dock", "INFO");
    SecurityControllerSwift().setUIModeDefault();
  });
}

}  // extern "C"
