#!/usr/bin/env bash
# Installs what the build needs, builds, and runs every test suite: the
# GoogleTest and JUnit suites on the normal build, then the C++ suites again
# under AddressSanitizer and UndefinedBehaviorSanitizer and under
# ThreadSanitizer, then the fuzz targets for a bounded time. Every build
# treats warnings as errors.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
"$root/scripts/setup.sh"

# Formatting is part of the build's contract.
(cd "$root" && git ls-files '*.cc' '*.h' | xargs clang-format --dry-run -Werror)

cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSXNATIVES_WERROR=ON \
  >/dev/null
cmake --build "$root/build" -j "$jobs"
ctest --test-dir "$root/build" --output-on-failure -j "$jobs"

cmake -S "$root" -B "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug -DOSXNATIVES_SANITIZE=ON \
  -DOSXNATIVES_WERROR=ON -DOSXNATIVES_JAVA=OFF -DOSXNATIVES_BENCH=OFF >/dev/null
cmake --build "$root/build-asan" -j "$jobs" --target osxnatives_tests
ctest --test-dir "$root/build-asan" --output-on-failure -j "$jobs" -L cpp

# Optimised, as ThreadSanitizer is slow; any report fails the test that made it.
cmake -S "$root" -B "$root/build-tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSXNATIVES_TSAN=ON \
  -DOSXNATIVES_WERROR=ON -DOSXNATIVES_JAVA=OFF -DOSXNATIVES_BENCH=OFF >/dev/null
cmake --build "$root/build-tsan" -j "$jobs" --target osxnatives_tests
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}" \
  ctest --test-dir "$root/build-tsan" --output-on-failure -j "$jobs" -L cpp

if [[ -x "$root/scripts/fuzz.sh" ]]; then
  "$root/scripts/fuzz.sh"
fi
