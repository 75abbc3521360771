#!/usr/bin/env bash
# Loads the library outside any JVM and calls JNI_OnLoad with a null handle,
# then a native that logs: the load must not crash, must answer JNI 1.6, and
# every callback must stay silent (no "Failed to get JNIEnv" line).
# Usage: onload_null_test.sh DRIVER LIBRARY
set -uo pipefail
driver=$1 library=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo '{}' >"$work/scenario.json"
OSXNATIVES_SIM_SCENARIO="$work/scenario.json" OSXNATIVES_SIM_JOURNAL="$work/journal.jsonl" \
  timeout 60 "$driver" --onload-null "$library" >"$work/stdout.txt" 2>"$work/stderr.txt"
status=$?
fail() { echo "onload_null_test: $*"; cat "$work/stdout.txt" "$work/stderr.txt"; exit 1; }
[[ $status == 0 ]] || fail "exit status $status, expected 0"
grep -qx 'JNI_OnLoad returned 0x10006' "$work/stdout.txt" || fail "JNI_OnLoad did not answer 1.6"
grep -q '"call":"setPresentationOptions:"' "$work/journal.jsonl" ||
  fail "the native after the load did not run"
! grep -q 'Failed to get JNIEnv' "$work/stderr.txt" || fail "a callback looked for a JVM"
echo "a null JVM handle is stored and every callback stays silent"
