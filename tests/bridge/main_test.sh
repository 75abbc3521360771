#!/usr/bin/env bash
# Runs the library's exported main through a driver executable against a
# scenario with queued input and Apple events, and checks that it delivers
# every queued event, skips the bad one with one line, and exits with 0.
# Usage: main_test.sh DRIVER LIBRARY
set -uo pipefail
driver=$1 library=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat >"$work/scenario.json" <<'JSON'
{"inputEvents": [{"type": "keyDown", "keyCode": 12, "modifierFlags": 1048576},
                 {"type": "keyDown"},
                 {"type": "pressure", "global": true}],
 "appleEvents": [{"eventClass": "GURL", "eventID": "GURL", "url": "kestrelgate://exam/1"}]}
JSON
OSXNATIVES_SIM_SCENARIO="$work/scenario.json" OSXNATIVES_SIM_JOURNAL="$work/journal.jsonl" \
  timeout 60 "$driver" "$library" --some-argument 2>"$work/stderr.txt"
status=$?
fail() { echo "main_test: $*"; cat "$work/stderr.txt"; cat "$work/journal.jsonl" 2>/dev/null; exit 1; }
[[ $status == 0 ]] || fail "exit status $status, expected 0"
[[ $(grep -c 'inputEvents\[1\]' "$work/stderr.txt") == 1 ]] || fail "no line about inputEvents[1]"
[[ $(wc -l <"$work/stderr.txt") == 1 ]] || fail "unexpected output on standard error"
[[ $(grep -c '"service":"NSEvent","call":"deliver"' "$work/journal.jsonl") == 2 ]] ||
  fail "expected two input deliveries"
grep -q '"service":"NSAppleEventManager","call":"deliver","args":{[^}]*"url":"kestrelgate://exam/1"},"result":"unhandled"' \
  "$work/journal.jsonl" || fail "expected the URL event to be delivered unhandled"
echo "main delivered every queued event and exited with 0"
