#!/usr/bin/env bash
# scripts/release.sh refuses, before it builds anything, a tree with
# uncommitted changes and a version that already has artifacts in dist/;
# --overwrite is what lets the second through. Runs on a clone of HEAD.
# Usage: release_refusals_test.sh SOURCE_DIR
set -uo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
git clone -q --no-hardlinks "$1" "$work/tree" || exit 1
cd "$work/tree" || exit 1
status=0
version=$(bash scripts/version.sh) || exit 1

# expect_refusal WHAT TEXT ARGS...: release.sh exits 1, says TEXT, writes nothing.
expect_refusal() {
  local what=$1 text=$2
  shift 2
  local out code
  out=$(bash scripts/release.sh "$@" 2>&1)
  code=$?
  if ((code != 1)) || ! grep -q "$text" <<<"$out"; then
    echo "release_refusals_test: $what: exit $code, said: $out" >&2
    status=1
  elif [[ -e dist/SHA256SUMS || -e build-release/libOSXNatives.so ]]; then
    echo "release_refusals_test: $what: it built or wrote something before refusing" >&2
    status=1
  else
    echo "release_refusals_test: $what: refused"
  fi
}

echo "local change" >>README.md
expect_refusal "a changed file" "uncommitted changes"
git checkout -q README.md
touch stray.txt
expect_refusal "an untracked file" "uncommitted changes"
rm stray.txt

mkdir -p dist
touch "dist/osxnatives_${version}_amd64.deb"
expect_refusal "artifacts of this version in dist/" "already holds artifacts of $version"
[[ -e dist/osxnatives_${version}_amd64.deb ]] || {
  echo "release_refusals_test: the refusal removed the existing artifact" >&2
  status=1
}
exit $status
