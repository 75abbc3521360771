#include "heap_counter.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace bench {
namespace {

std::atomic<size_t> held{0};
std::atomic<size_t> peak{0};

}  // namespace

size_t ResetHeapPeak() {
  peak = held.load();
  return peak;
}

size_t HeapPeak() { return peak.load(); }

}  // namespace bench

void* operator new(size_t size) {
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) {
    throw std::bad_alloc();
  }
  const size_t now = bench::held += malloc_usable_size(block);
  size_t high = bench::peak.load();
  while (now > high && !bench::peak.compare_exchange_weak(high, now)) {
  }
  return block;
}

void operator delete(void* block) noexcept {
  if (block != nullptr) {
    bench::held -= malloc_usable_size(block);
  }
  std::free(block);
}

void operator delete(void* block, size_t /*size*/) noexcept { operator delete(block); }
