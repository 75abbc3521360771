// Counts the bytes the program holds through operator new, which this
// program replaces for the whole process: the JNI library's native code
// allocates through the same operators. Thread-safe.
#ifndef OSXNATIVES_BENCH_HEAP_COUNTER_H_
#define OSXNATIVES_BENCH_HEAP_COUNTER_H_

#include <cstddef>

namespace bench {

// Starts a new peak at the bytes held now; returns them.
size_t ResetHeapPeak();

// The most bytes held at once since the last ResetHeapPeak.
size_t HeapPeak();

}  // namespace bench

#endif  // OSXNATIVES_BENCH_HEAP_COUNTER_H_
