#!/usr/bin/env bash
# Compiles the README's test-kit example as a browser team would and runs its
# test class, either against the two jars given and JUnit 5 only, or as a
# Maven project whose dependencies come from a Maven repository folder by
# their coordinates (Debian's offline Maven, with the plugins Debian ships;
# nothing is downloaded).
#
# Each fenced ```java block right after "<!-- testkit-example: FILE.java -->"
# is the content of FILE.java; the test class is ExamStartTest.
# Exit status: the test run's (2 for a usage or extraction error).
#
# Usage: testkit_example.sh OSXNATIVES_JAR TESTKIT_JAR
#        testkit_example.sh --maven MAVEN_FOLDER VERSION
set -euo pipefail
usage() {
  echo "usage: testkit_example.sh OSXNATIVES_JAR TESTKIT_JAR" >&2
  echo "       testkit_example.sh --maven MAVEN_FOLDER VERSION" >&2
  exit 2
}
(($# == 2 || $# == 3)) || usage
readme=$(dirname "$(realpath "$0")")/../README.md
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/src" "$work/classes"

awk -v marker=testkit-example -v dir="$work/src" -f "$(dirname "$(realpath "$0")")/readme_blocks.awk" \
  "$readme"

test_source=$work/src/ExamStartTest.java
if [[ ! -s "$test_source" ]]; then
  echo "testkit_example: no <!-- testkit-example: ExamStartTest.java --> block in $readme" >&2
  exit 2
fi
package=$(sed -n 's/^package \([A-Za-z0-9_.]*\);$/\1/p' "$test_source")
class=${package:+$package.}ExamStartTest
echo "--- example files: $(cd "$work/src" && echo *)"

if [[ $1 == --maven ]]; then
  (($# == 3)) && [[ -d $2 ]] || usage
  maven_folder=$(realpath "$2") version=$3
  # Maven's local repository: Debian's packaged artifacts (the plugins, JUnit)
  # and the folder under test, both reached without a network.
  repository=$work/repository
  cp -rs /usr/share/maven-repo/. "$repository/"
  cp -r "$maven_folder/." "$repository/"
  project=$work/project
  folder=${package//.//}
  mkdir -p "$project/src/main/java/$folder" "$project/src/test/java/$folder"
  for source in "$work"/src/*.java; do
    case $source in
      *Test.java) cp "$source" "$project/src/test/java/$folder/" ;;
      *) cp "$source" "$project/src/main/java/$folder/" ;;
    esac
  done
  # The plugin versions are those Debian 12 packages.
  cat >"$project/pom.xml" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<project xmlns="http://maven.apache.org/POM/4.0.0">
  <modelVersion>4.0.0</modelVersion>
  <groupId>com.example.exam</groupId>
  <artifactId>exam-start</artifactId>
  <version>1</version>
  <properties>
    <maven.compiler.release>17</maven.compiler.release>
    <project.build.sourceEncoding>UTF-8</project.build.sourceEncoding>
  </properties>
  <dependencies>
    <dependency>
      <groupId>com.qor.kestrelgate.osx.natives</groupId>
      <artifactId>osxnatives</artifactId>
      <version>$version</version>
    </dependency>
    <dependency>
      <groupId>com.qor.kestrelgate.osx.natives</groupId>
      <artifactId>osxnatives-testkit</artifactId>
      <version>$version</version>
      <scope>test</scope>
    </dependency>
    <dependency>
      <groupId>org.junit.jupiter</groupId>
      <artifactId>junit-jupiter-engine</artifactId>
      <version>5.9.2</version>
      <scope>test</scope>
    </dependency>
  </dependencies>
  <build>
    <plugins>
      <plugin><artifactId>maven-resources-plugin</artifactId><version>3.3.0</version></plugin>
      <plugin><artifactId>maven-compiler-plugin</artifactId><version>3.10.1</version></plugin>
      <plugin><artifactId>maven-surefire-plugin</artifactId><version>2.22.3</version></plugin>
    </plugins>
  </build>
</project>
EOF
  status=0
  mvn --offline --batch-mode -Dmaven.repo.local="$repository" -f "$project/pom.xml" test \
    >"$work/maven.txt" 2>&1 || status=$?
  grep -E "Tests run:|BUILD|ERROR" "$work/maven.txt" || true
  if ((status != 0)); then
    cat "$work/maven.txt" >&2
  elif ! grep -Eq "Tests run: [1-9][0-9]*, Failures: 0, Errors: 0, Skipped: 0$" "$work/maven.txt"
  then
    echo "testkit_example: Maven ran no test" >&2
    status=1
  fi
  exit "$status"
fi

for jar in "$1" "$2"; do
  [[ -f "$jar" ]] || { echo "testkit_example: no jar $jar" >&2; exit 2; }
done
classpath="$(realpath "$1"):$(realpath "$2"):/usr/share/java/junit-platform-console-standalone.jar"
javac -Xlint:all -Werror --release 17 -d "$work/classes" -cp "$classpath" "$work"/src/*.java
status=0
java -cp "$work/classes:$classpath" org.junit.platform.console.ConsoleLauncher \
  --disable-banner --details=tree --fail-if-no-tests --select-class "$class" || status=$?
exit "$status"
