// The library's load entry point.
#include <jni.h>

#include "bridge/boundary.h"
#include "bridge/java_controller.h"
#include "platform/registry.h"

using osxnatives::bridge::JavaController;

extern "C" JNIEXPORT jint JNICALL JNI_OnLoad(JavaVM* vm, void* /*reserved*/) {
  osxnatives::bridge::Guarded("JNI_OnLoad", [vm] {
    osxnatives::bridge::InstallJavaHost();
    // Every backend registers its services now, once.
    osxnatives::platform::EnsureInitialized();
    // A null handle is stored as it is: every later callback then finds no
    // JVM and stays silent.
    JNIEnv* env = nullptr;
    if (vm != nullptr &&
        vm->GetEnv(reinterpret_cast<void**>(&env), JavaController::kJniVersion) == JNI_OK) {
      JavaController::rememberClassLoader(env);
    }
    JavaController::setVm(vm);
  });
  return JavaController::kJniVersion;
}
