#!/usr/bin/env bash
# The kill soak: SIGKILL at every step (file call, hot key or corner change)
# of the lockdown, the unlock and the recovery tool's restore, each followed by
# one run of osxnatives-recover (KillLoopTest, which CI runs with 8 kills a
# run); prints the kills per phase, how many were restored and how many lost
# the user's settings (must be 0). Not a timing: the time is only reported.
#
#   bash bench/kill_soak.sh [BUILD_DIR] [KILLS_PER_RUN]   # defaults: build-test all
#
# BUILD_DIR is a configured Linux build; the test program and the tool are
# built there first. Exits 1 when a run lost anything or the loop failed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-test}
per_run=${2:-all}
cmake --build "$build" -j2 --target osxnatives_tests osxnatives-recover >/dev/null
started=$(date +%s)
set +e
output=$(OSXNATIVES_KILLS_PER_RUN=$per_run "$build/tests/osxnatives_tests" \
  --gtest_filter='KillLoopTest.*' 2>&1)
status=$?
set -e
elapsed=$(($(date +%s) - started))
echo "kill soak, kills per run: $per_run, ${elapsed} s:"
grep -E '^kills' <<<"$output" | sed 's/^/  /'
if [[ $status -ne 0 ]]; then
  grep -E 'Failure|killed at step' <<<"$output" | head -40
  echo "kill soak: FAILED"
  exit 1
fi
lost=$(sed -nE 's/^kills: [0-9]+, restored: [0-9]+, lost: ([0-9]+)$/\1/p' <<<"$output")
[[ $lost == 0 ]] || { echo "kill soak: $lost runs lost the user's settings"; exit 1; }
