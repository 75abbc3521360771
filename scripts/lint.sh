#!/usr/bin/env bash
# clang-tidy over the project's own sources, using the compile database of build-test/ (the test build).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cmake -S "$root" -B "$root/build-test" -DOSXNATIVES_WERROR=ON >/dev/null
cd "$root"
git ls-files 'src/*.cc' 'tests/*.cc' 'tools/*.cc' | xargs -P "$(nproc)" -n 4 clang-tidy -p build-test --quiet
