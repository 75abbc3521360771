#!/usr/bin/env bash
# Proves the artifacts scripts/release.sh wrote, by using each one as its users
# would:
#   - dist/SHA256SUMS verifies;
#   - the .deb: lintian reports no error; it installs with dpkg -i, a Java
#     program loads the library with no -Djava.library.path, and dpkg -r
#     removes every file it brought (as root only; it refuses to touch an
#     osxnatives package that was installed before);
#   - the Maven folder: scripts/check_maven.py (poms, paths, checksums), the
#     licence in every jar; then
#     the jars taken from it by their coordinates compile and run that program
#     (the library from the natives jar) and the README's test-kit example, and
#     Debian's Maven, offline, builds and tests that example as a project that
#     depends on the folder's artifacts;
#   - every artifact names the project version;
#   - the Mac archive, when there is one: its LICENSE, its SHA256SUMS, and every
#     Mach-O slice in it passes the export check and the arm64 slices the
#     signature check.
# Prints "release-check: <what>: ok" per check; exits 1 when one fails.
#
# Usage: scripts/check-release.sh DIST_DIR
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dist=$(cd "${1:?usage: check-release.sh DIST_DIR}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
ok() { echo "release-check: $*: ok"; }
bad() {
  echo "release-check: $*" >&2
  status=1
}
version=$(bash "$root/scripts/version.sh") || exit 1
group=com.qor.kestrelgate.osx.natives

(cd "$dist" && sha256sum --quiet -c SHA256SUMS) && ok "SHA256SUMS" || bad "dist/SHA256SUMS does not verify"

# The smallest host: loads the library and calls one native.
mkdir -p "$work/hello"
cat >"$work/hello/Hello.java" <<'EOF'
import com.qor.kestrelgate.osx.natives.NativeLibrary;
import com.qor.kestrelgate.osx.natives.OSXNativeProvider;

public class Hello {
  public static void main(String[] args) {
    OSXNativeProvider.load();
    System.out.println("libOSXNatives " + NativeLibrary.libraryVersion() + " answers for pid "
        + OSXNativeProvider.getCurrentProcessId());
  }
}
EOF
# hello CLASSPATH [JAVA OPTIONS...]: compiles and runs it; checks its answer.
hello() {
  local classpath=$1 out
  shift
  javac -d "$work/hello" -cp "$classpath" "$work/hello/Hello.java" &&
    out=$(java "$@" -cp "$classpath:$work/hello" Hello 2>&1) &&
    grep -Eq "^libOSXNatives $version answers for pid [0-9]+$" <<<"$out" || {
    echo "$out" >&2
    return 1
  }
}

# same_version WHAT TEXT: TEXT names the project version.
same_version() {
  grep -Fq -- "$version" <<<"$2" && ok "$1 carries $version" || bad "$1 carries '$2', not $version"
}
manifest_version() { unzip -p "$1" META-INF/MANIFEST.MF | sed -n 's/^Implementation-Version: //p' |
  tr -d '\r'; }

# --- the Debian package -------------------------------------------------------
deb=$(find "$dist" -maxdepth 1 -name "osxnatives_${version}_*.deb" -print -quit)
if [[ -z $deb ]]; then
  bad "no osxnatives_${version}_*.deb in $dist"
else
  same_version ".deb control" "$(dpkg-deb -f "$deb" Version)"
  same_version ".deb man page" "$(dpkg-deb --fsys-tarfile "$deb" |
    tar -xO ./usr/share/man/man1/osxnatives-recover.1.gz | zcat | head -1)"
  if lintian --fail-on error --no-tag-display-limit "$deb" >"$work/lintian.txt" 2>&1; then
    ok "lintian ($(grep -c '^W:' "$work/lintian.txt") warnings)"
  else
    cat "$work/lintian.txt" >&2
    bad "lintian reports errors"
  fi
  if [[ $(id -u) != 0 ]]; then
    echo "release-check: dpkg -i skipped: not root"
  elif [[ ! $(dpkg-query -W -f='${db:Status-Status}' osxnatives 2>/dev/null) =~ ^(not-installed)?$ ]]
  then
    bad "an osxnatives package is already installed; not replacing it"
  else
    files=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./|/|' | grep -v '/$')
    if dpkg -i "$deb" >"$work/dpkg.txt" 2>&1; then
      # /usr/share/java/osxnatives.jar only: the JVM finds /usr/lib/jni itself.
      hello /usr/share/java/osxnatives.jar && ok "the installed .deb loads with no library path" ||
        bad "the installed .deb does not load"
      dpkg -r osxnatives >>"$work/dpkg.txt" 2>&1 || bad "dpkg -r failed"
      left=$(while IFS= read -r f; do [[ -e $f || -L $f ]] && echo "$f"; done <<<"$files")
      [[ -z $left ]] && ok "dpkg -r leaves nothing" || bad "dpkg -r left: $left"
    else
      cat "$work/dpkg.txt" >&2
      bad "dpkg -i failed"
    fi
  fi
fi

# --- the Maven folder ---------------------------------------------------------
maven=$dist/maven
if python3 "$root/scripts/check_maven.py" "$maven"; then
  ok "Maven folder (poms, paths, checksums)"
  unlicensed=$(find "$maven" -name '*.jar' | while IFS= read -r j; do
    unzip -l "$j" META-INF/LICENSE >/dev/null 2>&1 || echo "$j"
  done)
  [[ -z $unlicensed ]] && ok "every Maven jar carries its licence" ||
    bad "jars without META-INF/LICENSE: $unlicensed"
  resolve() { python3 "$root/scripts/check_maven.py" "$maven" --resolve "$group:$1:$version${2:+:$2}"; }
  platform=linux-$(uname -m)
  if jar=$(resolve osxnatives) && natives=$(resolve osxnatives "natives-$platform") &&
    kit=$(resolve osxnatives-testkit); then
    same_version "Maven jar manifest" "$(manifest_version "$jar")"
    mkdir -p "$work/natives"
    (cd "$work/natives" && jar --extract --file "$natives")
    hello "$jar" "-Djava.library.path=$work/natives/natives/$platform" &&
      ok "the Maven jars load the library of natives-$platform" ||
      bad "the Maven jars do not load the library"
    bash "$root/tests/testkit_example.sh" "$jar" "$kit" >"$work/example.txt" 2>&1 &&
      ok "the README's test-kit example runs on the Maven jars" || {
      cat "$work/example.txt" >&2
      bad "the README's test-kit example fails on the Maven jars"
    }
    bash "$root/tests/testkit_example.sh" --maven "$maven" "$version" >"$work/maven.txt" 2>&1 &&
      ok "the README's test-kit example runs as a Maven project (offline Maven)" || {
      cat "$work/maven.txt" >&2
      bad "the README's test-kit example fails as a Maven project"
    }
  else
    bad "the Maven folder lacks osxnatives, its natives-$platform or the test kit"
  fi
else
  bad "the Maven folder does not check"
fi

# --- the Mac archive ----------------------------------------------------------
archive=$dist/osxnatives-$version-macos-universal.tar.gz
if [[ ! -f $archive ]]; then
  echo "release-check: no Mac archive (release made without a macOS SDK)"
else
  tar -xzf "$archive" -C "$work"
  mac=$work/osxnatives-$version-macos-universal
  [[ -f $mac/LICENSE ]] && ok "Mac archive licence" || bad "the Mac archive has no LICENSE"
  (cd "$mac" && sha256sum --quiet -c SHA256SUMS) && ok "Mac archive SHA256SUMS" ||
    bad "the Mac archive's SHA256SUMS does not verify"
  same_version "Mac archive jar manifest" "$(manifest_version "$mac/java/osxnatives-$version.jar")"
  same_version "Mac archive man page" "$(head -1 "$mac/man/man1/osxnatives-recover.1")"
  v=${MACOS_LLVM_SUFFIX:--19}
  java_source=$root/java/src/com/qor/kestrelgate/osx/natives/OSXNativeProvider.java
  for arch in arm64 x86_64; do
    llvm-lipo$v -thin "$arch" "$mac/lib/libOSXNatives.dylib" -output "$work/lib-$arch.dylib" &&
      NM=llvm-nm$v bash "$root/tests/exports_test.sh" "$work/lib-$arch.dylib" "$java_source" --all \
        >/dev/null && ok "Mac archive $arch exports" || bad "the Mac archive's $arch slice exports"
  done
  python3 "$root/scripts/macho_signature.py" "$mac/lib/libOSXNatives.dylib" \
    "$mac/bin/osxnatives-recover" >/dev/null && ok "Mac archive arm64 signatures" ||
    bad "a Mac archive binary's arm64 signature does not verify"
fi
((status == 0)) && echo "release-check: every artifact checked"
exit $status
