#!/bin/bash
# The test command of a mutation run (the mutants tool's --test-cmd): the C++
# suites for every mutant, and the JUnit suites as well when the mutant is in
# the JNI bridge, which only a JVM exercises. Usage: mutants-tests.sh BUILD JOBS
set -u
build=$1
jobs=$2
ctest --test-dir "$build" -L cpp --output-on-failure -j"$jobs" --timeout 60 || exit 1
git diff --quiet -- src/bridge && exit 0
ctest --test-dir "$build" -L java --output-on-failure -j"$jobs" --timeout 120
