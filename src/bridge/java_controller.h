// JavaController: keeps the JVM handle and calls back into the Java host class
// com.qor.kestrelgate.osx.natives.OSXNativeProvider.
//
// All operations are static and may be called from any thread. A thread the
// JVM does not know is attached (as a daemon) on its first callback and stays
// attached until it ends, when it is detached. The host class and its methods
// are looked up by name on every callback. The one thing kept is the class
// loader that loaded the library: on a thread the library attached, FindClass
// searches only the system class loader, which cannot see a host class that
// an application launcher or plugin loader defined.
#ifndef OSXNATIVES_BRIDGE_JAVA_CONTROLLER_H_
#define OSXNATIVES_BRIDGE_JAVA_CONTROLLER_H_

#include <jni.h>

#include <string_view>

namespace osxnatives::bridge {

class JavaController {
 public:
  static constexpr char kHostClass[] = "com/qor/kestrelgate/osx/natives/OSXNativeProvider";
  // The same class as ClassLoader.loadClass wants it.
  static constexpr char kHostClassBinaryName[] =
      "com.qor.kestrelgate.osx.natives.OSXNativeProvider";
  static constexpr jint kJniVersion = JNI_VERSION_1_6;

  JavaController() = delete;

  // The stored JVM handle, read under the class lock. Null before load.
  static JavaVM* vm();
  // Stores `vm` under the class lock; when it is not null, logs "JNI Env set!"
  // at "INFO" while still holding the lock.
  static void setVm(JavaVM* vm);

  // Keeps (as a global reference, for the life of the process) the class
  // loader through which callbacks find the host class when FindClass cannot:
  // the loader of the host class when FindClass finds it on this thread, else
  // the thread's context class loader. Call on the loading thread from
  // JNI_OnLoad, where FindClass searches the loader that loaded the library.
  // Leaves no Java exception pending; keeps nothing when neither is found.
  static void rememberClassLoader(JNIEnv* env);

  // An environment usable on the calling thread, attaching the thread when the
  // JVM does not know it. Null when no JVM is stored or attaching fails (then
  // "Failed to get JNIEnv\n" goes to the system log).
  static JNIEnv* getJNIEnv();

  // The class at `path` ("com/qor/kestrelgate/osx/natives/AssessmentMode") as
  // callbacks see it: through FindClass, else through the class loader kept at
  // load, so that a thread the library attached finds the host's classes too.
  // A new local reference, or null with nothing left pending when neither has
  // the class.
  static jclass findClass(JNIEnv* env, const char* path);

  // OSXNativeProvider.log(message, level). Dropped silently when Java cannot
  // be reached.
  static void log(std::string_view message, std::string_view level);
  // OSXNativeProvider.navigateToUrl(url), the URL unchanged.
  static void navigateToUrl(std::string_view url);
  // Logs "Close request", then calls OSXNativeProvider.closeRequest() after
  // logging "Sending external close request event to the Java app".
  static void closeRequest();
};

// Connects the library's host callbacks to JavaController. Call once, before
// the first setVm.
void InstallJavaHost();

}  // namespace osxnatives::bridge

#endif  // OSXNATIVES_BRIDGE_JAVA_CONTROLLER_H_
