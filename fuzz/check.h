// The fuzz targets' assertion: a failed property aborts, so libFuzzer keeps
// the input.
#pragma once

#include <cstdio>
#include <cstdlib>

inline void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
  }
}
