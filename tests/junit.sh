#!/usr/bin/env bash
# Runs one JUnit test class in a JVM of its own, with -Xcheck:jni, against the
# real library and a fresh simulated-desktop journal. Fails when the JVM
# reports a JNI usage warning.
# Usage: junit.sh LIBRARY_DIR CLASSPATH CLASS [SCENARIO]
set -uo pipefail
libdir=$1 classpath=$2 class=$3 scenario=${4:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export OSXNATIVES_SIM_JOURNAL="$work/journal.jsonl"
export OSXNATIVES_SIM_SCENARIO="$scenario"
export OSXNATIVES_TEST_WORK="$work"
# The classes go on the JVM's own class path, as in a real host application:
# the library looks the host class up with FindClass, which on threads the
# library attached itself searches the system class loader only.
java -Xcheck:jni -Djava.library.path="$libdir" \
  -cp "/usr/share/java/junit-platform-console-standalone.jar:$classpath" \
  org.junit.platform.console.ConsoleLauncher \
  --disable-banner --details=tree --fail-if-no-tests \
  --select-class "$class" 2>&1 | tee "$work/output.txt"
status=${PIPESTATUS[0]}
if grep -q "WARNING in native method" "$work/output.txt"; then
  echo "junit.sh: the JVM reported JNI usage warnings" >&2
  status=1
fi
exit "$status"
