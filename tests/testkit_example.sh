#!/usr/bin/env bash
# Compiles the README's test-kit example as a browser team would, against the
# two jars given and JUnit 5 only, and runs its test class.
#
# Each fenced ```java block right after "<!-- testkit-example: FILE.java -->"
# is the content of FILE.java; the test class is ExamStartTest.
# Exit status: the test run's (2 for a usage or extraction error).
#
# Usage: testkit_example.sh OSXNATIVES_JAR TESTKIT_JAR
set -euo pipefail
if (( $# != 2 )); then
  echo "usage: testkit_example.sh OSXNATIVES_JAR TESTKIT_JAR" >&2
  exit 2
fi
for jar in "$1" "$2"; do
  [[ -f "$jar" ]] || { echo "testkit_example: no jar $jar" >&2; exit 2; }
done
osxnatives_jar=$(realpath "$1")
testkit_jar=$(realpath "$2")
readme=$(dirname "$(realpath "$0")")/../README.md
junit=/usr/share/java/junit-platform-console-standalone.jar
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/src" "$work/classes"

awk -v dir="$work/src" '
  /^<!-- testkit-example: [A-Za-z0-9_]+\.java -->$/ { file = $3; armed = 1; next }
  armed && /^```java$/ { out = dir "/" file; printf "" > out; inside = 1; armed = 0; next }
  inside && /^```$/ { inside = 0; close(out); next }
  inside { print >> out }
' "$readme"

test_source=$work/src/ExamStartTest.java
if [[ ! -s "$test_source" ]]; then
  echo "testkit_example: no <!-- testkit-example: ExamStartTest.java --> block in $readme" >&2
  exit 2
fi
package=$(sed -n 's/^package \([A-Za-z0-9_.]*\);$/\1/p' "$test_source")
class=${package:+$package.}ExamStartTest
echo "--- example files: $(cd "$work/src" && echo *)"

classpath="$osxnatives_jar:$testkit_jar:$junit"
javac -Xlint:all -Werror --release 17 -d "$work/classes" -cp "$classpath" "$work"/src/*.java
status=0
java -cp "$work/classes:$classpath" org.junit.platform.console.ConsoleLauncher \
  --disable-banner --details=tree --fail-if-no-tests --select-class "$class" || status=$?
exit "$status"
