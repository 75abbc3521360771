// Stands in for an executable built around the library: loads it and calls its
// exported `main` with the remaining arguments. `main` is expected to exit the
// process itself; returning is reported as status 99.
//
// Usage: osxnatives_main_driver LIBRARY [ARGS...]
#include <dlfcn.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s LIBRARY [ARGS...]\n", argv[0]);
    return 2;
  }
  void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    std::fprintf(stderr, "cannot load %s: %s\n", argv[1], dlerror());
    return 2;
  }
  using Main = int (*)(int, char**);
  auto* library_main = reinterpret_cast<Main>(dlsym(library, "main"));
  if (library_main == nullptr) {
    std::fprintf(stderr, "%s has no main\n", argv[1]);
    return 2;
  }
  library_main(argc - 1, argv + 1);
  return 99;
}
