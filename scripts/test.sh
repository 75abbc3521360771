#!/usr/bin/env bash
# Installs what the build needs, then runs every check in phases: format,
# build, the GoogleTest and JUnit suites (and the README's recipes), the C++
# suites again under AddressSanitizer and UndefinedBehaviorSanitizer and under
# ThreadSanitizer, and the fuzz targets for a bounded time. Every build treats
# warnings as errors. Each phase prints a heading; the last line
# is "N passed, N failed" over every phase's tests. Exits 1 when anything
# failed.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
"$root/scripts/setup.sh" || exit 1

logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
passed=0
failed=0

# Adds the test outcomes that a phase's output reports: ctest's summary line
# ("97% tests passed, 2 tests failed out of 70") and one line per fuzz target
# ("fuzz: <target> passed" / "fuzz: <target> failed"). Sets `found` to how
# many it found.
count_outcomes() {
  local log=$1 line total bad
  found=0
  while IFS= read -r line; do
    if [[ $line =~ tests\ passed,\ ([0-9]+)\ tests?\ failed\ out\ of\ ([0-9]+) ]]; then
      bad=${BASH_REMATCH[1]} total=${BASH_REMATCH[2]}
      passed=$((passed + total - bad)) failed=$((failed + bad)) found=$((found + total))
    elif [[ $line =~ ^fuzz:\ [^\ ]+\ passed ]]; then
      passed=$((passed + 1)) found=$((found + 1))
    elif [[ $line =~ ^fuzz:\ [^\ ]+\ failed ]]; then
      failed=$((failed + 1)) found=$((found + 1))
    fi
  done <"$log"
}

# phase NAME COMMAND...: prints a heading, runs the command with its output
# shown, and counts its tests. A command that reports no tests of its own
# (formatting, building) counts as one test; one that fails without
# reporting a failed test counts one failure more.
phase() {
  local name=$1
  shift
  local log="$logs/$name.log"
  local before=$failed
  printf '\n==== %s ====\n' "$name"
  "$@" 2>&1 | tee "$log"
  local status=${PIPESTATUS[0]}
  count_outcomes "$log"
  if ((found == 0)); then
    if ((status == 0)); then passed=$((passed + 1)); else failed=$((failed + 1)); fi
  elif ((status != 0 && failed == before)); then
    failed=$((failed + 1))
  fi
  if ((status != 0)); then
    printf '==== %s: failed (exit status %d) ====\n' "$name" "$status"
  fi
}

check_format() {
  cd "$root" && git ls-files '*.cc' '*.h' | xargs clang-format --dry-run -Werror
}

build() {
  cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSXNATIVES_WERROR=ON \
    >/dev/null &&
    cmake --build "$root/build" -j "$jobs"
}

run_tests() {
  ctest --test-dir "$root/build" --output-on-failure -j "$jobs"
}

sanitizer_tests() {
  cmake -S "$root" -B "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug -DOSXNATIVES_SANITIZE=ON \
    -DOSXNATIVES_WERROR=ON -DOSXNATIVES_JAVA=OFF -DOSXNATIVES_BENCH=OFF >/dev/null &&
    cmake --build "$root/build-asan" -j "$jobs" --target osxnatives_tests &&
    ctest --test-dir "$root/build-asan" --output-on-failure -j "$jobs" -L cpp
}

# Optimised, as ThreadSanitizer is slow; any report fails the test that made it.
thread_sanitizer_tests() {
  cmake -S "$root" -B "$root/build-tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSXNATIVES_TSAN=ON \
    -DOSXNATIVES_WERROR=ON -DOSXNATIVES_JAVA=OFF -DOSXNATIVES_BENCH=OFF >/dev/null &&
    cmake --build "$root/build-tsan" -j "$jobs" --target osxnatives_tests &&
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}" \
      ctest --test-dir "$root/build-tsan" --output-on-failure -j "$jobs" -L cpp
}

phase format check_format
phase build build
phase tests run_tests
phase sanitizers sanitizer_tests
phase thread-sanitizer thread_sanitizer_tests
phase fuzzing "$root/scripts/fuzz.sh"

echo
echo "$passed passed, $failed failed"
((failed == 0))
