// Stands in for an executable built around the library: loads it and calls its
// exported `main` with the remaining arguments. `main` is expected to exit the
// process itself; returning is reported as status 99.
//
// Usage: osxnatives_main_driver LIBRARY [ARGS...]
#include <dlfcn.h>

#include <cstdio>

int main(int argc, char** argv) {
  void* library = argc > 1 ? dlopen(argv[1], RTLD_NOW | RTLD_LOCAL) : nullptr;
  auto* library_main =
      library != nullptr ? reinterpret_cast<int (*)(int, char**)>(dlsym(library, "main")) : nullptr;
  if (library_main == nullptr) {
    std::fprintf(stderr, "usage: %s LIBRARY [ARGS...]; no main: %s\n", argv[0],
                 argc > 1 ? dlerror() : "no library");
    return 2;
  }
  library_main(argc - 1, argv + 1);
  return 99;
}
