// The library's load entry point.
#include <jni.h>

#include "bridge/boundary.h"
#include "bridge/java_controller.h"
#include "platform/sim/desktop.h"

using osxnatives::bridge::JavaController;

extern "C" JNIEXPORT jint JNICALL JNI_OnLoad(JavaVM* vm, void* /*reserved*/) {
  osxnatives::bridge::Guarded("JNI_OnLoad", [vm] {
    osxnatives::bridge::InstallJavaHost();
    // The simulated desktop reads its scenario and journal settings now, once.
    osxnatives::platform::sim::Desktop::Instance();
    JNIEnv* env = nullptr;
    if (vm->GetEnv(reinterpret_cast<void**>(&env), JavaController::kJniVersion) == JNI_OK) {
      JavaController::rememberClassLoader(env);
    }
    JavaController::setVm(vm);
  });
  return JavaController::kJniVersion;
}
