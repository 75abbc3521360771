#!/usr/bin/env bash
# Installs what the build needs, builds, and runs the demo host on the
# simulated desktop. Extra arguments go to the demo.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
build="$root/build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export OSXNATIVES_SIM_SCENARIO="$root/java/demo/scenario.json"
export OSXNATIVES_SIM_JOURNAL="$work/journal.jsonl"
# The lockdown writes its settings file below HOME and runs defaults,
# launchctl, killall and open: give it a home of its own and printing
# stand-ins for those tools.
export HOME="$work/home" OSXNATIVES_DEMO_HOME="$work/home"
export PATH="$root/java/demo/standins:$PATH"
java -Djava.library.path="$build" \
  -cp "$build/java/osxnatives.jar:$build/java/osxnatives-demo.jar" \
  com.qor.kestrelgate.osx.natives.demo.Demo "$@"
