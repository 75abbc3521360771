// Stands in for an executable built around the library.
//
// Usage: osxnatives_main_driver LIBRARY [ARGS...]
//   Loads the library and calls its exported `main` with the remaining
//   arguments. `main` is expected to exit the process itself; returning is
//   reported as status 99.
// Usage: osxnatives_main_driver --onload-null LIBRARY
//   Calls `JNI_OnLoad` with a null JVM handle, prints what it returned
//   ("JNI_OnLoad returned 0x10006"), then calls the `hideDockAndMenu` native,
//   which logs, and exits with 0.
#include <dlfcn.h>

#include <cstdio>
#include <cstring>

namespace {

void* Symbol(void* library, const char* name) {
  return library != nullptr ? dlsym(library, name) : nullptr;
}

int OnLoadWithNullHandle(const char* path) {
  void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  auto* on_load = reinterpret_cast<int (*)(void*, void*)>(Symbol(library, "JNI_OnLoad"));
  auto* hide = reinterpret_cast<void (*)(void*, void*)>(
      Symbol(library, "Java_com_qor_kestrelgate_osx_natives_OSXNativeProvider_hideDockAndMenu"));
  if (on_load == nullptr || hide == nullptr) {
    std::fprintf(stderr, "no JNI_OnLoad or hideDockAndMenu in %s: %s\n", path, dlerror());
    return 2;
  }
  std::printf("JNI_OnLoad returned %#x\n", static_cast<unsigned>(on_load(nullptr, nullptr)));
  std::fflush(stdout);
  // Neither argument is used by this native.
  hide(nullptr, nullptr);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--onload-null") == 0) return OnLoadWithNullHandle(argv[2]);
  void* library = argc > 1 ? dlopen(argv[1], RTLD_NOW | RTLD_LOCAL) : nullptr;
  auto* library_main = reinterpret_cast<int (*)(int, char**)>(Symbol(library, "main"));
  if (library_main == nullptr) {
    std::fprintf(stderr, "usage: %s LIBRARY [ARGS...]; no main: %s\n", argv[0],
                 argc > 1 ? dlerror() : "no library");
    return 2;
  }
  library_main(argc - 1, argv + 1);
  return 99;
}
