#!/usr/bin/env bash
# Runs the README's recipes as a reader would, against an existing build.
#
# A fenced block right after the line "<!-- readme-test -->" is a shell recipe;
# one after "<!-- readme-test: FILE -->" is the content of FILE. Files are
# written first, then the recipes run in README order, in one bash with
# -euo pipefail, in an empty folder that is also HOME and holds `build` (a link
# to the build under test). Then the install they made is checked.
#
# Usage: readme_test.sh README.md BUILD_DIR
set -euo pipefail
readme=$1
build=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ln -s "$build" "$work/build"

awk -v marker=readme-test -v dir="$work" -f "$(dirname "$0")/readme_blocks.awk" "$readme"

if [[ ! -s "$work/recipes.sh" ]]; then
  echo "readme_test: no recipe marked <!-- readme-test --> in $readme" >&2
  exit 1
fi
echo "--- recipes"
cat "$work/recipes.sh"
echo "--- output"
(cd "$work" && HOME="$work" bash -euo pipefail recipes.sh) >"$work/out.txt" 2>&1 || {
  cat "$work/out.txt"
  echo "readme_test: a recipe failed" >&2
  exit 1
}
cat "$work/out.txt"

# The Java program of the recipe loaded the library and called into it.
grep -qx '\[INFO\] JNI Env set!' "$work/out.txt" || {
  echo "readme_test: the library was never loaded" >&2
  exit 1
}

# What the install laid out, wherever the recipe put it.
fail() {
  echo "readme_test: $*" >&2
  exit 1
}
link=$(find "$work" -path '*/share/java/osxnatives.jar' -print -quit)
[[ -n "$link" ]] || fail "no share/java/osxnatives.jar installed"
prefix=${link%/share/java/osxnatives.jar}
[[ -f "$prefix/lib/jni/libOSXNatives.so" ]] || fail "no lib/jni/libOSXNatives.so under $prefix"
[[ -z "$(find "$prefix" -name 'libOSXNatives.so.*')" ]] || fail "versioned library links installed"
jar=$(find "$prefix/share/java" -name 'osxnatives-[0-9]*.jar')
[[ -n "$jar" && "$(readlink -f "$prefix/share/java/osxnatives.jar")" == "$(readlink -f "$jar")" ]] ||
  fail "no versioned jar behind share/java/osxnatives.jar"
manifest=$(unzip -p "$jar" META-INF/MANIFEST.MF | tr -d '\r')
grep -qx 'Automatic-Module-Name: com.qor.kestrelgate.osx.natives' <<<"$manifest" ||
  fail "no Automatic-Module-Name in $jar"
[[ -x "$prefix/bin/osxnatives-recover" ]] || fail "no bin/osxnatives-recover"
[[ -f "$prefix/share/man/man1/osxnatives-recover.1" ]] || fail "no man page"

# A Release install strips the library, whatever the build kept.
cmake --install "$build" --prefix "$work/release" --config Release >/dev/null
if readelf -S "$work/release/lib/jni/libOSXNatives.so" | grep -q '\.debug_info'; then
  fail "the Release install kept the debug information"
fi
echo "readme_test: every recipe ran and the install is complete"
