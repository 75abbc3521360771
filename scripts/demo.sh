#!/usr/bin/env bash
# Installs what the build needs, builds the library and the demo host (and
# nothing else), and runs the demo on the simulated desktop. Every stage
# shows its progress. Extra arguments go to the demo.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-demo"
stage() { printf '\n== demo: [%s/4] %s ==\n' "$1" "$2"; }

stage 1 "Debian packages (scripts/setup.sh)"
"$root/scripts/setup.sh"
stage 2 "Configuring the build in $build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSXNATIVES_TESTS=OFF \
  -DOSXNATIVES_BENCH=OFF
stage 3 "Building libOSXNatives and the demo host (the first build takes a few minutes)"
cmake --build "$build" -j "$(nproc)" --target OSXNatives osxnatives_demo
stage 4 "Running the demo"

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
