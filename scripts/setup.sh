#!/usr/bin/env bash
# Installs the Debian packages the build, the tests, the benchmarks, the
# macOS cross build and the release (Debian package tools, lintian) need.
# Does nothing when they are all present.
set -euo pipefail
packages=(
  cmake g++ make pkg-config openjdk-17-jdk-headless junit5
  nlohmann-json3-dev libplist-dev libicu-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev libfuzzer-14-dev lld-14 llvm-14 python3
  clang-19 lld-19 llvm-19
  clang-format clang-tidy procps iproute2 util-linux binutils python3-yaml
  ccache dpkg-dev lintian zip unzip
  maven libmaven-compiler-plugin-java libmaven-resources-plugin-java libsurefire-java
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
