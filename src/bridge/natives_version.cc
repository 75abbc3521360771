// Native method of NativeLibrary: the version this library was built as, which
// the jar compares with its own when it loads the library.
#include <jni.h>

#include "bridge/boundary.h"

using osxnatives::bridge::Guarded;
using osxnatives::bridge::JavaString;

extern "C" {

JNIEXPORT jstring JNICALL
Java_com_qor_kestrelgate_osx_natives_NativeLibrary_nativeVersion(JNIEnv* env, jclass /*type*/) {
  return Guarded("nativeVersion", jstring{nullptr},
                 [env] { return JavaString(env, OSXNATIVES_VERSION); });
}

}  // extern "C"
