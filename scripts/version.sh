#!/usr/bin/env bash
# Prints the project version, the one set by project(OSXNatives VERSION ...) in
# CMakeLists.txt, which every artifact carries. Exits 1 when there is none.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
version=$(sed -n 's/^project(OSXNatives VERSION \([0-9][0-9.]*\)[ )].*/\1/p' "$root/CMakeLists.txt")
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || {
  echo "version: no project version in $root/CMakeLists.txt" >&2
  exit 1
}
echo "$version"
