#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each for a
# bounded time (FUZZ_SECONDS, default 45) on a copy of its seed corpus, and
# prints one line per target: "fuzz: <target> passed" or "... failed".
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${FUZZ_SECONDS:-45}
build="$root/build-fuzz"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
  -DOSXNATIVES_FUZZ=ON -DOSXNATIVES_TESTS=OFF -DOSXNATIVES_JAVA=OFF -DOSXNATIVES_BENCH=OFF \
  >/dev/null
cmake --build "$build" -j "$(nproc)" --target process_document_fuzzer
status=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for target in process_document; do
  mkdir -p "$work/$target"
  cp "$root/fuzz/corpus/$target/"* "$work/$target/"
  if ! "$build/fuzz/${target}_fuzzer" -max_total_time="$seconds" -timeout=10 \
    -artifact_prefix="$build/" -rss_limit_mb=2048 "$work/$target" >"$work/$target.log" 2>&1; then
    tail -n 60 "$work/$target.log" >&2
    echo "fuzz: $target failed; the input that failed is in $build/"
    status=1
    continue
  fi
  # One line per target: scripts/test.sh counts each run as one test.
  echo "fuzz: $target passed ($(grep -o 'Done [0-9]* runs in [0-9]* second' "$work/$target.log"))"
done
exit "$status"
