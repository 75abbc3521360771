#!/usr/bin/env bash
# Runs the project's checks in phases, each under a heading and ending with its
# time; the last line is "N passed, N failed" over every phase's tests. Exits 1
# when anything failed.
#
#   scripts/test.sh          the quick run: build, then the GoogleTest and JUnit
#                            suites (build-test/)
#   scripts/test.sh --full   what CI runs: format, build, every ctest test (the
#                            README's recipes, the export and packaging checks
#                            too), the C++ suites under AddressSanitizer and
#                            UndefinedBehaviorSanitizer (build-asan/) and under
#                            ThreadSanitizer (build-tsan/), the fuzz targets
#                            (build-fuzz/), the macOS cross build and its checks
#                            where the SDKs are installed, and the release
#                            (scripts/release.sh into dist/, proved by
#                            scripts/check-release.sh)
#
# Every build here treats warnings as errors.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
full=0
case ${1:-} in
  "") ;;
  --full) full=1 ;;
  *) echo "usage: scripts/test.sh [--full]" >&2; exit 2 ;;
esac
"$root/scripts/setup.sh" || exit 1

logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
passed=0
failed=0
times=()

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
  local before=$failed started=$SECONDS
  printf '\n==== %s ====\n' "$name"
  "$@" 2>&1 | tee "$log"
  local status=${PIPESTATUS[0]}
  count_outcomes "$log"
  if ((found == 0)); then
    if ((status == 0)); then passed=$((passed + 1)); else failed=$((failed + 1)); fi
  elif ((status != 0 && failed == before)); then
    failed=$((failed + 1))
  fi
  local took=$((SECONDS - started)) outcome=passed
  ((status == 0)) || outcome="failed (exit status $status)"
  printf '==== %s: %s in %d s ====\n' "$name" "$outcome" "$took"
  times+=("$(printf '%-18s %5d s  %s' "$name" "$took" "$outcome")")
}

# A phase that cannot run here says why in one line and counts nothing.
skipped() {
  printf '\n==== %s ====\n%s\n' "$1" "$2"
  times+=("$(printf '%-18s %5s    skipped' "$1" -)")
}

check_format() {
  cd "$root" && git ls-files '*.cc' '*.h' '*.mm' | xargs clang-format --dry-run -Werror
}

build() {
  cmake -S "$root" -B "$root/build-test" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DOSXNATIVES_WERROR=ON >/dev/null &&
    cmake --build "$root/build-test" -j "$jobs"
}

run_tests() {
  local labels=()
  ((full)) || labels=(-L '^(cpp|java)$')
  ctest --test-dir "$root/build-test" --output-on-failure -j "$jobs" "${labels[@]}"
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

release() {
  bash "$root/scripts/release.sh" --overwrite && bash "$root/scripts/check-release.sh" "$root/dist"
}

((full)) && phase format check_format
phase build build
phase tests run_tests
if ((full)); then
  phase sanitizers sanitizer_tests
  phase thread-sanitizer thread_sanitizer_tests
  phase fuzzing bash "$root/scripts/fuzz.sh"
  sdk=${MACOS_SDK:-/opt/macos-sdk/MacOSX11.3.sdk}
  newest=${MACOS_SDK_NEWEST:-/opt/macos-sdk/MacOSX15.1.sdk}
  if [[ -d $sdk ]]; then
    phase macos-cross env MACOS_SDK="$sdk" bash "$root/scripts/macos-cross.sh"
  else
    skipped macos-cross "macOS check skipped: no macOS SDK at $sdk"
  fi
  if [[ -d $sdk && -d $newest ]]; then
    phase macos-newest-sdk env MACOS_SDK_NEWEST="$newest" bash "$root/scripts/macos-newest-sdk.sh"
  else
    skipped macos-newest-sdk "macOS newest-SDK check skipped: no macOS SDK at $newest or $sdk"
  fi
  phase release release
fi

echo
printf '%s\n' "${times[@]}"
echo
echo "$passed passed, $failed failed"
((failed == 0))
