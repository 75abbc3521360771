#!/usr/bin/env bash
# Compiles every source of both macOS slices against the newest SDK's headers
# (default /opt/macos-sdk/MacOSX15.1.sdk, set MACOS_SDK_NEWEST) with clang-19,
# -Wall -Wextra -Werror, and runs clang-19's static analyser (osx checkers,
# findings as errors) over every .mm: what a browser team building with a
# current Xcode would see first. Compiles only: the library itself links
# against the oldest SDK (scripts/macos-cross.sh), whose link stubs are whole.
#
# Uses the compile commands of the cross build (build-macos-arm64 and
# build-macos-x86_64; run scripts/macos-cross.sh first), with the compiler and
# the SDK swapped. Exits non-zero when a source fails to compile, warns, or the
# analyser reports anything.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
sdk=${MACOS_SDK_NEWEST:-/opt/macos-sdk/MacOSX15.1.sdk}
jobs=${JOBS:-$(nproc)}
started=$(date +%s)

if [[ ! -d $sdk/System/Library/Frameworks ]]; then
  echo "macos-newest-sdk: no macOS SDK at $sdk (set MACOS_SDK_NEWEST)" >&2
  exit 1
fi
command -v clang++-19 >/dev/null || { echo "macos-newest-sdk: clang++-19 is missing" >&2; exit 1; }
for arch in arm64 x86_64; do
  [[ -f $root/build-macos-$arch/compile_commands.json ]] || {
    echo "macos-newest-sdk: no $arch cross build; run scripts/macos-cross.sh first" >&2
    exit 1
  }
done

python3 - "$root" "$sdk" "$jobs" <<'EOF'
import concurrent.futures, os, pathlib, subprocess, sys

root, sdk, jobs = pathlib.Path(sys.argv[1]), sys.argv[2], int(sys.argv[3])
sys.path.insert(0, str(root / "scripts"))
from compile_commands import check_argv, entries
runs = []
for arch in ("arm64", "x86_64"):
    for entry in entries(root / f"build-macos-{arch}"):
        path = pathlib.Path(entry["file"]).resolve()
        if not path.is_relative_to(root) or path.suffix not in (".cc", ".mm"):
            continue
        kept = check_argv(entry, sysroot=sdk, compiler="clang++-19")
        kept += ["-Wall", "-Wextra", "-Werror"]
        runs.append((arch, path, entry["directory"], kept + ["-fsyntax-only"]))
        if path.suffix == ".mm":
            runs.append((arch, path, entry["directory"],
                         kept + ["--analyze", "-Xanalyzer", "-analyzer-checker=osx",
                                 "-Xanalyzer", "-analyzer-werror", "-o", os.devnull]))

def run(job):
    arch, path, directory, argv = job
    return job, subprocess.run(argv, cwd=directory, capture_output=True, text=True)

failed = 0
with concurrent.futures.ThreadPoolExecutor(max_workers=jobs) as pool:
    for (arch, path, _, argv), done in pool.map(run, runs):
        if done.returncode != 0 or "warning:" in done.stderr:
            failed += 1
            what = "analyser" if "--analyze" in argv else "compile"
            print(f"{arch}: {what}: {path.relative_to(root)}:\n{done.stderr}", file=sys.stderr)
sources = len({(a, p) for a, p, _, argv in runs if "--analyze" not in argv})
analysed = sum("--analyze" in argv for *_, argv in runs)
print(f"macos-newest-sdk: {sources} compiles and {analysed} analyser runs against "
      f"{pathlib.Path(sdk).name} with clang-19, {failed} failed")
sys.exit(1 if failed else 0)
EOF
echo "macos-newest-sdk: $(($(date +%s) - started)) s"
