#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each for a
# bounded time (FUZZ_SECONDS, default 8) on a copy of its seed corpus, and
# prints one line per target: "fuzz: <target> passed (...)" or "... failed",
# with the executions per second.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${FUZZ_SECONDS:-8}
build="$root/build-fuzz"
targets=(process_document modified_utf8 property_list proc_stat)
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
  -DOSXNATIVES_FUZZ=ON -DOSXNATIVES_WERROR=ON -DOSXNATIVES_TESTS=OFF -DOSXNATIVES_JAVA=OFF \
  -DOSXNATIVES_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${targets[@]/%/_fuzzer}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for target in "${targets[@]}"; do
  mkdir -p "$work/$target"
  cp "$root/fuzz/corpus/$target/"* "$work/$target/"
  if ! "$build/fuzz/${target}_fuzzer" -max_total_time="$seconds" -timeout=10 \
    -artifact_prefix="$build/" -rss_limit_mb=2048 -print_final_stats=1 "$work/$target" \
    >"$work/$target.log" 2>&1; then
    tail -n 60 "$work/$target.log" >&2
    echo "fuzz: $target failed; the input that failed is in $build/"
    status=1
    continue
  fi
  # One line per target: scripts/test.sh counts each run as one test.
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$target.log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/$target.log")
  echo "fuzz: $target passed ($runs runs, $rate executions per second)"
done
exit "$status"
