#!/usr/bin/env bash
# Writes the release artifacts of the checked-out commit into dist/:
#
#   osxnatives-<version>-macos-universal.tar.gz   where a macOS SDK is installed:
#       the universal dylib and recovery tool (arm64 slices signed), the jar,
#       the LaunchAgent, the man page, the Mac checklist, the packaging files,
#       LICENSE, NOTICE and SHA256SUMS
#   osxnatives_<version>_<arch>.deb                /usr/lib/jni, /usr/share/java,
#       /usr/bin/osxnatives-recover and its man page, copyright
#   maven/                                         a Maven repository folder: the
#       jar with its sources, javadoc, pom and natives jars per platform, and
#       the test kit; .sha256 (and .sha1, .md5) beside every file
#   SHA256SUMS                                     of the files above
#
# The version is the project version in CMakeLists.txt. Refuses a tree with
# uncommitted changes (--allow-dirty to build one anyway, for trying the
# script) and a version that already has artifacts in dist/ (--overwrite).
# Builds in build-release/ (Release, the compiler flags of dpkg-buildflags,
# never warnings as errors) and, for the Mac, with scripts/macos-cross.sh.
#
# Usage: scripts/release.sh [--overwrite] [--allow-dirty]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
overwrite=0 allow_dirty=0
for argument in "$@"; do
  case $argument in
    --overwrite) overwrite=1 ;;
    --allow-dirty) allow_dirty=1 ;;
    *) echo "usage: scripts/release.sh [--overwrite] [--allow-dirty]" >&2; exit 2 ;;
  esac
done
say() { echo "release: $*"; }
die() { echo "release: $*" >&2; exit 1; }

cd "$root"
if ((!allow_dirty)) && [[ -n $(git status --porcelain --untracked-files=normal -- . ':!dist') ]]; then
  die "the tree has uncommitted changes; commit them (or pass --allow-dirty to try the script)"
fi
"$root/scripts/setup.sh"

version=$(bash "$root/scripts/version.sh")
build=$root/build-release
dist=$root/dist
mkdir -p "$dist"
existing=$(find "$dist" -maxdepth 1 -name "*$version*" -print -quit)
if [[ -n $existing || -d $dist/maven/com/qor/kestrelgate/osx/natives/osxnatives/$version ]]; then
  ((overwrite)) || die "dist/ already holds artifacts of $version; pass --overwrite to replace them"
fi
# The flags Debian builds its own packages with (hardening, optimisation).
export CPPFLAGS CXXFLAGS LDFLAGS
CPPFLAGS=$(dpkg-buildflags --get CPPFLAGS)
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $CPPFLAGS"
LDFLAGS=$(dpkg-buildflags --get LDFLAGS)
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DOSXNATIVES_WERROR=OFF \
  -DOSXNATIVES_TESTS=OFF -DOSXNATIVES_BENCH=OFF -DOSXNATIVES_JAVA=ON >/dev/null
arch=$(dpkg --print-architecture)
case $(uname -m) in
  x86_64) platform=linux-x86_64 ;;
  aarch64) platform=linux-aarch64 ;;
  *) die "no natives classifier for $(uname -m)" ;;
esac

rm -rf "$dist"
mkdir -p "$dist"

say "building $version for Linux in ${build#"$root"/}"
cmake --build "$build" -j "$(nproc)" \
  --target OSXNatives osxnatives_java osxnatives-recover osxnatives_testkit
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stage=$work/stage
DESTDIR=$stage cmake --install "$build" --prefix /usr --strip >/dev/null
jar=$build/java/osxnatives-$version.jar
testkit_jar=$build/java/osxnatives-testkit-$version.jar
for file in "$jar" "$testkit_jar" "$stage/usr/lib/jni/libOSXNatives.so"; do
  [[ -f $file ]] || die "the build made no $file"
done
# Every jar and archive carries the licence and the notice of the code
# compiled in from elsewhere.
mkdir -p "$work/license/META-INF"
cp "$root/LICENSE" "$root/NOTICE" "$work/license/META-INF/"
with_license() { jar --update --file "$1" -C "$work/license" META-INF; }
cp "$jar" "$testkit_jar" "$work/"
jar=$work/$(basename "$jar") testkit_jar=$work/$(basename "$testkit_jar")
with_license "$jar"
with_license "$testkit_jar"
# The kit carries the installed, stripped library rather than the build's.
mkdir -p "$work/kit/natives/$platform"
cp "$stage/usr/lib/jni/libOSXNatives.so" "$work/kit/natives/$platform/"
jar --update --file "$testkit_jar" -C "$work/kit" "natives/$platform/libOSXNatives.so"
epoch=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH=$epoch

# --- The Debian package -------------------------------------------------------
say "Debian package"
package=osxnatives
deb=$work/deb
mkdir -p "$deb/DEBIAN" "$deb/usr/share/doc/$package"
cp -a "$stage/usr" "$deb/"
# Debian's layout: the jar in /usr/share/java with a relative unversioned link.
cp "$jar" "$deb/usr/share/java/osxnatives-$version.jar"
ln -sfn "osxnatives-$version.jar" "$deb/usr/share/java/osxnatives.jar"
gzip -9n "$deb/usr/share/man/man1/osxnatives-recover.1"
maintainer=${DEBFULLNAME:-OSXNatives maintainers}" <${DEBEMAIL:-osxnatives@qor.com}>"
cat >"$deb/usr/share/doc/$package/copyright" <<EOF
Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: OSXNatives

Files: *
Copyright: $(date -u -d "@$epoch" +%Y) the OSXNatives authors
License: Apache-2.0
Comment: libOSXNatives.so and osxnatives-recover also hold code compiled in from
 JSON for Modern C++, a header-only library: Copyright 2013-2022 Niels Lohmann,
 2009 Florian Loitsch, 2008-2009 Bjoern Hoehrmann, under the Expat licence below.

License: Apache-2.0
 Licensed under the Apache License, Version 2.0 (the "License"); you may not
 use this file except in compliance with the License. You may obtain a copy of
 the License at https://www.apache.org/licenses/LICENSE-2.0
 .
 Unless required by applicable law or agreed to in writing, software
 distributed under the License is distributed on an "AS IS" BASIS, WITHOUT
 WARRANTIES OR CONDITIONS OF ANY KIND, either express or implied. See the
 License for the specific language governing permissions and limitations under
 the License.
 .
 On Debian systems, the complete text of the Apache License, Version 2.0, is in
 /usr/share/common-licenses/Apache-2.0.

License: Expat
$(sed -n '/Permission is hereby granted/,$p' "$root/NOTICE" | sed 's/^  */ /; s/^ *$/ ./')
EOF
{
  echo "$package ($version) unstable; urgency=medium"
  echo
  echo "  * Release $version ($(git rev-parse --short HEAD))."
  echo
  echo " -- $maintainer  $(date -u -R -d "@$epoch")"
} | gzip -9n >"$deb/usr/share/doc/$package/changelog.gz"
# dpkg-shlibdeps reads the package list of a debian/control.
mkdir -p "$work/src/debian"
printf 'Source: %s\n\nPackage: %s\nArchitecture: any\n' "$package" "$package" \
  >"$work/src/debian/control"
depends=$(cd "$work/src" && dpkg-shlibdeps -O -e"$deb/usr/lib/jni/libOSXNatives.so" \
  -e"$deb/usr/bin/osxnatives-recover" 2>/dev/null | sed -n 's/^shlibs:Depends=//p')
[[ -n $depends ]] || die "dpkg-shlibdeps found no dependencies"
size=$(du -sk --exclude=DEBIAN "$deb" | cut -f1)
cat >"$deb/DEBIAN/control" <<EOF
Package: $package
Version: $version
Architecture: $arch
Maintainer: $maintainer
Installed-Size: $size
Depends: $depends
Section: java
Priority: optional
Homepage: https://github.com/qor/osxnatives
Description: native half of the Kestrelgate exam lockdown browser (JNI library)
 libOSXNatives locks the desktop for an exam: presentation, clipboard, input
 filtering, hot corners and hot keys, notifications, extra displays, and the
 processes that run beside the exam. On Linux it works against real Linux
 facilities and a simulated desktop, for developing and testing the browser.
 .
 This package holds the JNI library (/usr/lib/jni), the Java classes that
 declare its natives (/usr/share/java/osxnatives.jar) and osxnatives-recover,
 which restores the desktop after a lockdown that never ended.
EOF
(cd "$deb" && find usr -type f -print0 | sort -z | xargs -0 md5sum >DEBIAN/md5sums)
find "$deb" -type d -exec chmod 755 {} +
find "$deb/usr" -type f -exec chmod 644 {} +
chmod 755 "$deb/usr/bin/osxnatives-recover"
chmod 644 "$deb/DEBIAN/control" "$deb/DEBIAN/md5sums"
debfile=$dist/${package}_${version}_${arch}.deb
dpkg-deb --root-owner-group -Zxz --build "$deb" "$debfile" >/dev/null
say "wrote ${debfile#"$root"/}"

# --- The Maven repository folder ----------------------------------------------
say "Maven repository folder"
group=com.qor.kestrelgate.osx.natives
maven=$dist/maven
pom() { # artifactId name description [dependency artifactId]
  cat <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<project xmlns="http://maven.apache.org/POM/4.0.0"
         xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"
         xsi:schemaLocation="http://maven.apache.org/POM/4.0.0 https://maven.apache.org/xsd/maven-4.0.0.xsd">
  <modelVersion>4.0.0</modelVersion>
  <groupId>$group</groupId>
  <artifactId>$1</artifactId>
  <version>$version</version>
  <packaging>jar</packaging>
  <name>$2</name>
  <description>$3</description>
  <licenses>
    <license>
      <name>Apache-2.0</name>
      <url>https://www.apache.org/licenses/LICENSE-2.0</url>
      <distribution>repo</distribution>
    </license>
  </licenses>
EOF
  if [[ -n ${4:-} ]]; then
    cat <<EOF
  <dependencies>
    <dependency>
      <groupId>$group</groupId>
      <artifactId>$4</artifactId>
      <version>$version</version>
    </dependency>
  </dependencies>
EOF
  fi
  echo "</project>"
}
# sources_jar OUT FOLDER...: the .java files under each folder, with LICENSE and NOTICE.
sources_jar() {
  local out=$1 tree=$work/sources-$RANDOM
  shift
  mkdir -p "$tree/META-INF"
  for folder in "$@"; do
    (cd "$folder" && find . -name '*.java' -exec cp --parents {} "$tree" \;)
  done
  cp "$root/LICENSE" "$root/NOTICE" "$tree/META-INF/"
  jar --create --file "$out" -C "$tree" .
}
# javadoc_jar OUT CLASSPATH FOLDER...: the API documentation of the sources.
javadoc_jar() {
  local out=$1 classpath=$2 tree=$work/javadoc-$RANDOM
  shift 2
  local sourcepath
  sourcepath=$(IFS=:; echo "$*")
  local packages
  packages=$(cd "$1" && find . -name '*.java' -printf '%h\n' | sed 's|^\./||; s|/|.|g' | sort -u)
  # shellcheck disable=SC2086
  javadoc -quiet -Xdoclint:all,-missing -d "$tree" -sourcepath "$sourcepath" -classpath "$classpath" \
    $packages >"$work/javadoc.log" 2>&1 || { cat "$work/javadoc.log" >&2; die "javadoc failed"; }
  mkdir -p "$tree/META-INF"
  cp "$root/LICENSE" "$root/NOTICE" "$tree/META-INF/"
  jar --create --file "$out" -C "$tree" .
}
# natives_jar OUT PLATFORM FILE: FILE under natives/PLATFORM/, with LICENSE and NOTICE.
natives_jar() {
  local tree=$work/natives-$2
  mkdir -p "$tree/natives/$2" "$tree/META-INF"
  cp "$3" "$tree/natives/$2/"
  cp "$root/LICENSE" "$root/NOTICE" "$tree/META-INF/"
  jar --create --file "$1" -C "$tree" .
}

folder=$maven/${group//.//}/osxnatives/$version
mkdir -p "$folder"
base=$folder/osxnatives-$version
cp "$jar" "$base.jar"
sources_jar "$base-sources.jar" "$root/java/src" "$build/java/generated"
javadoc_jar "$base-javadoc.jar" "$jar" "$root/java/src" "$build/java/generated"
natives_jar "$base-natives-$platform.jar" "$platform" "$stage/usr/lib/jni/libOSXNatives.so"
pom osxnatives OSXNatives "The Java classes of libOSXNatives, the native half of the Kestrelgate \
exam lockdown browser. The library itself is in the natives jars, one per platform." >"$base.pom"

kit_folder=$maven/${group//.//}/osxnatives-testkit/$version
mkdir -p "$kit_folder"
kit=$kit_folder/osxnatives-testkit-$version
cp "$testkit_jar" "$kit.jar"
sources_jar "$kit-sources.jar" "$root/java/testkit"
javadoc_jar "$kit-javadoc.jar" "$jar" "$root/java/testkit"
pom osxnatives-testkit "OSXNatives test kit" "A simulated macOS desktop for a browser's own tests: \
stages a scenario, runs the browser's code against the Linux libOSXNatives it carries and reads \
the journal of what the code did to the desktop." osxnatives >"$kit.pom"

# --- The Mac archive ----------------------------------------------------------
sdk=${MACOS_SDK:-/opt/macos-sdk/MacOSX11.3.sdk}
if [[ -d $sdk ]]; then
  say "macOS universal build and its checks (scripts/macos-cross.sh)"
  MACOS_SDK=$sdk "$root/scripts/macos-cross.sh" >"$work/macos-cross.log" 2>&1 || {
    cat "$work/macos-cross.log" >&2
    die "the macOS cross build failed"
  }
  name=osxnatives-$version-macos-universal
  mac=$work/$name
  mkdir -p "$mac/lib" "$mac/bin" "$mac/java" "$mac/man/man1" "$mac/docs" "$mac/packaging"
  cp "$root/build-macos/libOSXNatives.dylib" "$mac/lib/"
  cp "$root/build-macos/osxnatives-recover" "$mac/bin/"
  cp "$jar" "$mac/java/"
  cp "$root/tools/com.trevant.osxnatives-recover.plist.example" "$mac/"
  cp "$build/tools/osxnatives-recover.1" "$mac/man/man1/"
  cp "$root/docs/macos-checklist.md" "$mac/docs/"
  cp -r "$root/packaging/macos" "$mac/packaging/"
  cp "$root/LICENSE" "$root/NOTICE" "$mac/"
  (cd "$mac" && find . -type f ! -name SHA256SUMS -printf '%P\n' | sort | xargs sha256sum >SHA256SUMS)
  tar --sort=name --mtime="@$epoch" --owner=0 --group=0 --numeric-owner -C "$work" \
    -czf "$dist/$name.tar.gz" "$name"
  natives_jar "$base-natives-macos-universal.jar" macos-universal "$mac/lib/libOSXNatives.dylib"
  say "wrote dist/$name.tar.gz"
else
  say "Mac archive skipped: no macOS SDK at $sdk (set MACOS_SDK)"
fi

# Checksums: beside every file of the Maven folder, and over dist/'s own files.
mapfile -d '' files < <(find "$maven" -type f -print0)
for file in "${files[@]}"; do
  for sum in sha256 sha1 md5; do
    "${sum}sum" "$file" | cut -d' ' -f1 | tr -d '\n' >"$file.$sum"
  done
done
(cd "$dist" && find . -maxdepth 1 -type f ! -name SHA256SUMS -printf '%P\n' | sort |
  xargs sha256sum >SHA256SUMS)
say "wrote dist/maven ($(find "$maven" -name '*.jar' | wc -l) jars) and dist/SHA256SUMS"
say "$version done"
