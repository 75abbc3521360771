// Native methods of the input filter and the URL hand-over, and the library's
// `main`. The three natives use the shared controller, so that the monitors
// and the Apple-event handler belong to one long-lived object.
#include <jni.h>

#include <cstdlib>

#include "bridge/boundary.h"
#include "bridge/java_controller.h"
#include "controller/app_delegate_swift.h"
#include "controller/security_controller_swift.h"

using osxnatives::AppDelegateSwift;
using osxnatives::SecurityControllerSwift;
using osxnatives::bridge::Guarded;
using osxnatives::bridge::JavaController;
using osxnatives::bridge::StringArgument;
using osxnatives::bridge::StringArgumentOrEmpty;

extern "C" {

JNIEXPORT void JNICALL Java_com_qor_kestrelgate_osx_natives_OSXNativeProvider_startEventListener(
    JNIEnv* env, jclass /*receiver*/, jstring deliveryMode, jstring client, jboolean isSystemTest) {
  Guarded("startEventListener", [&] {
    JavaController::log("Starting Event Listener", "INFO");
    const std::string mode = StringArgument(env, deliveryMode);
    const std::string client_text = StringArgumentOrEmpty(env, client);
    SecurityControllerSwift::shared()->startEventListenerWithDeliveryMode(
        mode, client_text, isSystemTest != JNI_FALSE);
  });
}

JNIEXPORT void JNICALL Java_com_qor_kestrelgate_osx_natives_OSXNativeProvider_stopEventListener(
    JNIEnv* /*env*/, jclass /*receiver*/) {
  Guarded("stopEventListener", [] {
    JavaController::log("Stoppinging Event Listener", "INFO");
    SecurityControllerSwift::shared()->stopEventListener();
  });
}

JNIEXPORT void JNICALL Java_com_qor_kestrelgate_osx_natives_OSXNativeProvider_startAppDelegation(
    JNIEnv* /*env*/, jclass /*receiver*/) {
  Guarded("startAppDelegation", [] {
    JavaController::log("Starting app delegation Objective c", "INFO");
    SecurityControllerSwift::shared()->startAppDelegation();
  });
}

// The entry point of an executable built around the library: runs the
// application's event loop and exits with its status. A Java host never calls
// it.
JNIEXPORT int main(int argc, char** argv) {
  int status = EXIT_FAILURE;
  Guarded("main", [&] { status = AppDelegateSwift::applicationMain(argc, argv); });
  std::exit(status);
}

}  // extern "C"
