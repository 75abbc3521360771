#include "bridge/java_controller.h"

#include <mutex>
#include <string>

#include "bridge/modified_utf8.h"
#include "bridge/scoped_jni.h"
#include "common/host.h"
#include "platform/ns_log.h"

namespace osxnatives::bridge {
namespace {

// The class lock: guards g_vm. Recursive because setVm logs while holding it
// and logging reads the handle again on the same thread.
std::recursive_mutex& ClassLock() {
  static auto* const lock = new std::recursive_mutex();
  return *lock;
}

JavaVM* g_vm = nullptr;            // Guarded by ClassLock().
jobject g_class_loader = nullptr;  // Global reference. Guarded by ClassLock().

// A Java exception left pending by a callback (a listener that threw, a class
// or method that is missing) is reported on standard error and cleared, so the
// calling native code and the platform threads can go on using the JVM.
bool ClearPendingException(JNIEnv* env) {
  if (!env->ExceptionCheck()) return false;
  env->ExceptionDescribe();
  env->ExceptionClear();
  return true;
}

// `object.name()` of the class `class_name` for a method returning an object.
// Null, with nothing left pending, when the method is missing or throws.
jobject CallObjectMethod(JNIEnv* env, jobject object, const char* class_name, const char* name,
                         const char* signature, jobject argument = nullptr) {
  ScopedLocalRef<jclass> type(env, env->FindClass(class_name));
  const jmethodID method =
      type.get() != nullptr ? env->GetMethodID(type.get(), name, signature) : nullptr;
  if (method == nullptr) {
    ClearPendingException(env);
    return nullptr;
  }
  jobject result = argument != nullptr ? env->CallObjectMethod(object, method, argument)
                                       : env->CallObjectMethod(object, method);
  if (ClearPendingException(env)) return nullptr;
  return result;
}

jobject KeptClassLoader() {
  std::lock_guard<std::recursive_mutex> lock(ClassLock());
  return g_class_loader;
}

}  // namespace

jclass JavaController::findClass(JNIEnv* env, const char* path) {
  jclass found = env->FindClass(path);
  if (found != nullptr) return found;
  const jobject loader = KeptClassLoader();
  if (loader == nullptr) {
    ClearPendingException(env);
    return nullptr;
  }
  env->ExceptionClear();  // the class loader below gets the last word
  std::string binary_name(path);
  for (char& c : binary_name) {
    if (c == '/') c = '.';
  }
  ScopedLocalRef<jstring> name(env, env->NewStringUTF(binary_name.c_str()));
  if (name.get() == nullptr) {
    ClearPendingException(env);
    return nullptr;
  }
  return static_cast<jclass>(CallObjectMethod(env, loader, "java/lang/ClassLoader", "loadClass",
                                              "(Ljava/lang/String;)Ljava/lang/Class;", name.get()));
}

namespace {

// The host class by name; where FindClass cannot see it, through the class
// loader kept at load.
jclass FindHostClass(JNIEnv* env) {
  return JavaController::findClass(env, JavaController::kHostClass);
}

// Looks up the host class and one of its static methods. Returns false (and
// leaves nothing pending) when either is missing.
bool FindStaticMethod(JNIEnv* env, const char* name, const char* signature,
                      ScopedLocalRef<jclass>& host_class, jmethodID& method) {
  host_class.reset(FindHostClass(env));
  if (host_class.get() == nullptr) return false;
  method = env->GetStaticMethodID(host_class.get(), name, signature);
  if (method == nullptr) {
    ClearPendingException(env);
    return false;
  }
  return true;
}

// A Java string of `text` (standard UTF-8), or null when the JVM is out of
// memory.
jstring NewJavaString(JNIEnv* env, std::string_view text) {
  jstring result = env->NewStringUTF(ToModifiedUtf8(text).c_str());
  if (result == nullptr) ClearPendingException(env);
  return result;
}

// Detaches the calling thread from the JVM when the thread ends, for threads
// that the library attached itself (the simulated desktop's main thread,
// platform callback threads). An attached thread that ended without detaching
// would keep the JVM from shutting down. Threads the JVM started are never
// detached by the library.
class AttachedThread {
 public:
  void Remember(JavaVM* vm) { vm_ = vm; }
  ~AttachedThread() {
    if (vm_ != nullptr) vm_->DetachCurrentThread();
  }

 private:
  JavaVM* vm_ = nullptr;
};

thread_local AttachedThread t_attached;

class JavaHost : public HostCallbacks {
 public:
  void Log(std::string_view message, std::string_view level) override {
    JavaController::log(message, level);
  }
  void NavigateToUrl(std::string_view url) override { JavaController::navigateToUrl(url); }
  void CloseRequest() override { JavaController::closeRequest(); }
};

}  // namespace

JavaVM* JavaController::vm() {
  std::lock_guard<std::recursive_mutex> lock(ClassLock());
  return g_vm;
}

void JavaController::setVm(JavaVM* vm) {
  std::lock_guard<std::recursive_mutex> lock(ClassLock());
  g_vm = vm;
  if (vm != nullptr) log("JNI Env set!", "INFO");
}

void JavaController::rememberClassLoader(JNIEnv* env) {
  ScopedLocalRef<jobject> loader(env, nullptr);
  ScopedLocalRef<jclass> host_class(env, env->FindClass(kHostClass));
  if (host_class.get() != nullptr) {
    loader.reset(CallObjectMethod(env, host_class.get(), "java/lang/Class", "getClassLoader",
                                  "()Ljava/lang/ClassLoader;"));
  } else {
    env->ExceptionClear();
    ScopedLocalRef<jclass> thread_class(env, env->FindClass("java/lang/Thread"));
    const jmethodID current =
        thread_class.get() != nullptr
            ? env->GetStaticMethodID(thread_class.get(), "currentThread", "()Ljava/lang/Thread;")
            : nullptr;
    ScopedLocalRef<jobject> thread(
        env,
        current != nullptr ? env->CallStaticObjectMethod(thread_class.get(), current) : nullptr);
    if (!ClearPendingException(env) && thread.get() != nullptr) {
      loader.reset(CallObjectMethod(env, thread.get(), "java/lang/Thread", "getContextClassLoader",
                                    "()Ljava/lang/ClassLoader;"));
    }
  }
  // A null loader is the bootstrap loader, which FindClass searches anyway.
  if (loader.get() == nullptr) return;
  jobject kept = env->NewGlobalRef(loader.get());
  if (kept == nullptr) {
    ClearPendingException(env);
    return;
  }
  std::lock_guard<std::recursive_mutex> lock(ClassLock());
  if (g_class_loader != nullptr) env->DeleteGlobalRef(g_class_loader);
  g_class_loader = kept;
}

JNIEnv* JavaController::getJNIEnv() {
  if (vm() == nullptr) return nullptr;
  JNIEnv* env = nullptr;
  jint status = vm()->GetEnv(reinterpret_cast<void**>(&env), kJniVersion);
  if (status == JNI_EDETACHED) {
    // As a daemon: a platform thread that lives on (a permission callback
    // thread, the main thread) must not keep the JVM from exiting when the
    // host's own threads have finished.
    status = vm()->AttachCurrentThreadAsDaemon(reinterpret_cast<void**>(&env), nullptr);
    if (status == JNI_OK) t_attached.Remember(vm());
  }
  if (status != JNI_OK) {
    platform::NSLog("Failed to get JNIEnv\n");
    return nullptr;
  }
  return env;
}

void JavaController::log(std::string_view message, std::string_view level) {
  JNIEnv* env = getJNIEnv();
  if (env == nullptr) return;
  ScopedLocalRef<jclass> host_class(env, nullptr);
  jmethodID method = nullptr;
  if (!FindStaticMethod(env, "log", "(Ljava/lang/String;Ljava/lang/String;)V", host_class,
                        method)) {
    return;
  }
  ScopedLocalRef<jstring> java_message(env, NewJavaString(env, message));
  ScopedLocalRef<jstring> java_level(env, NewJavaString(env, level));
  if (java_message.get() == nullptr || java_level.get() == nullptr) return;
  env->CallStaticVoidMethod(host_class.get(), method, java_message.get(), java_level.get());
  ClearPendingException(env);
}

void JavaController::navigateToUrl(std::string_view url) {
  JNIEnv* env = getJNIEnv();
  if (env == nullptr) return;
  ScopedLocalRef<jclass> host_class(env, nullptr);
  jmethodID method = nullptr;
  if (!FindStaticMethod(env, "navigateToUrl", "(Ljava/lang/String;)V", host_class, method)) {
    return;
  }
  ScopedLocalRef<jstring> java_url(env, NewJavaString(env, url));
  if (java_url.get() == nullptr) return;
  env->CallStaticVoidMethod(host_class.get(), method, java_url.get());
  ClearPendingException(env);
}

void JavaController::closeRequest() {
  JNIEnv* env = getJNIEnv();
  if (env == nullptr) return;
  log("Close request", "INFO");
  ScopedLocalRef<jclass> host_class(env, nullptr);
  jmethodID method = nullptr;
  if (!FindStaticMethod(env, "closeRequest", "()V", host_class, method)) return;
  log("Sending external close request event to the Java app", "INFO");
  env->CallStaticVoidMethod(host_class.get(), method);
  ClearPendingException(env);
}

void InstallJavaHost() {
  static auto* const host = new JavaHost();
  SetHost(host);
}

}  // namespace osxnatives::bridge
