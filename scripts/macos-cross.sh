#!/usr/bin/env bash
# Cross-builds the universal macOS libOSXNatives.dylib from Linux and checks it.
#
# One build per slice (arm64 for macOS 11, x86_64 for macOS 10.15) with
# Debian's clang-19, ld64.lld-19 and llvm-19 (MACOS_LLVM_SUFFIX=-14 for the
# older ones) against the SDK in MACOS_SDK
# (default /opt/macos-sdk/MacOSX11.3.sdk), warnings as errors, joined by
# llvm-lipo into build-macos/libOSXNatives.dylib and
# build-macos/osxnatives-recover. Then, for each slice: install name
# @rpath/libOSXNatives.dylib; exported symbols exactly JNI_OnLoad, main and the
# natives the Java classes of the package declare; AppKit, ApplicationServices,
# AVFoundation, CoreFoundation and IOKit linked and nothing but Apple's
# libraries; AutomaticAssessmentConfiguration linked weakly; no libplist, no
# ICU and nothing of the simulated desktop or the Linux backend inside; no
# thread hop (dispatch_sync, dispatch_async and friends,
# performSelectorOnMainThread:) imported by the library or the recovery tool.
# Every .mm carries the ARC guard; every entry point of the backend drains its
# own autorelease pool (scripts/objc_pools.py); the arm64 slices of both
# binaries carry a valid code signature, and a flipped byte breaks it
# (scripts/macho_signature.py). Last, the clang static analyser (osx checkers,
# findings as errors) over every .mm with the flags of its build.
# Exits non-zero when a build or any check fails.
#
# MACOS_CROSS_TESTS=1 also compiles and links the Mac test programs (with
# GoogleTest from Debian's sources); they cannot run here.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
sdk=${MACOS_SDK:-/opt/macos-sdk/MacOSX11.3.sdk}
jobs=${JOBS:-$(nproc)}
v=${MACOS_LLVM_SUFFIX:--19}
# A LIBRARY_PATH of Linux directories would reach the Darwin linker.
unset LIBRARY_PATH
started=$(date +%s)

"$root/scripts/setup.sh"
if [[ ! -d $sdk/System/Library/Frameworks ]]; then
  echo "macos-cross: no macOS SDK at $sdk (set MACOS_SDK)" >&2
  exit 1
fi
for tool in clang$v clang++$v ld64.lld$v llvm-lipo$v llvm-nm$v llvm-objdump$v python3; do
  command -v "$tool" >/dev/null || { echo "macos-cross: $tool is missing" >&2; exit 1; }
done

slices=("arm64 11.0" "x86_64 10.15")
tests=OFF targets=(--target OSXNatives osxnatives-recover)
if [[ ${MACOS_CROSS_TESTS:-0} == 1 ]]; then
  tests=ON targets=()
fi
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root}
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_OBJCXX_COMPILER_LAUNCHER=ccache)
fi

for slice in "${slices[@]}"; do
  read -r arch min <<<"$slice"
  dir=$root/build-macos-$arch
  echo "macos-cross: building the $arch slice (macOS $min) in ${dir#"$root"/}"
  mkdir -p "$dir"
  if ! { cmake -S "$root" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/macos-cross-toolchain.cmake" \
      -DOSXNATIVES_MACOS_ARCH="$arch" -DOSXNATIVES_MACOS_MIN="$min" -DOSXNATIVES_MACOS_SDK="$sdk" \
      -DOSXNATIVES_LLVM_SUFFIX=$v \
      -DCMAKE_BUILD_TYPE=Release -DOSXNATIVES_WERROR=ON -DOSXNATIVES_TESTS=$tests -DOSXNATIVES_JAVA=OFF \
      -DOSXNATIVES_BENCH=OFF "${launcher[@]}" &&
    cmake --build "$dir" -j "$jobs" "${targets[@]}"; } >"$dir/build.log" 2>&1; then
    cat "$dir/build.log" >&2
    echo "macos-cross: the $arch build failed" >&2
    exit 1
  fi
done

out=$root/build-macos
mkdir -p "$out"
universal=$out/libOSXNatives.dylib
rm -f "$universal"
llvm-lipo$v -create "$root/build-macos-arm64/libOSXNatives.dylib" \
  "$root/build-macos-x86_64/libOSXNatives.dylib" -output "$universal"
recover=$out/osxnatives-recover
rm -f "$recover"
llvm-lipo$v -create "$root/build-macos-arm64/osxnatives-recover" \
  "$root/build-macos-x86_64/osxnatives-recover" -output "$recover"

status=0
fail() {
  echo "macos-cross: $*" >&2
  status=1
}

archs=$(llvm-lipo$v -archs "$universal" | tr ' ' '\n' | sort | xargs)
[[ $archs == "arm64 x86_64" ]] || fail "the universal library holds '$archs', not arm64 and x86_64"

java_source=$root/java/src/com/qor/kestrelgate/osx/natives/OSXNativeProvider.java
sizes=()
for slice in "${slices[@]}"; do
  read -r arch _ <<<"$slice"
  thin=$out/libOSXNatives-$arch.dylib
  llvm-lipo$v -thin "$arch" "$universal" -output "$thin"
  sizes+=("$arch $(stat -c %s "$thin") bytes")

  id=$(llvm-objdump$v --macho --dylib-id "$thin" | tail -n +2)
  [[ $id == "@rpath/libOSXNatives.dylib" ]] || fail "$arch: install name is '$id'"

  if ! exports=$(NM=llvm-nm$v bash "$root/tests/exports_test.sh" "$thin" "$java_source" --all); then
    fail "$arch: exported symbols:"$'\n'"$exports"
  fi

  # The list starts with the library's own id.
  dylibs=$(llvm-objdump$v --macho --dylibs-used "$thin" | tail -n +2 | awk '{print $1}' |
    grep -vxF "$id" || true)
  for framework in AppKit ApplicationServices AVFoundation CoreFoundation IOKit; do
    grep -q "/$framework.framework/" <<<"$dylibs" || fail "$arch: $framework is not linked"
  done
  foreign=$(grep -v -e '^/System/Library/Frameworks/' -e '^/usr/lib/' <<<"$dylibs" || true)
  [[ -z $foreign ]] || fail "$arch: links libraries that are not Apple's: $foreign"
  banned=$(grep -i -e plist -e icu <<<"$dylibs" || true)
  [[ -z $banned ]] || fail "$arch: links $banned"

  # Assessment mode's framework is new in macOS 10.15.4: linked weakly, so that
  # 10.15.0-10.15.3 still load the library.
  aac=$(llvm-objdump$v --macho --private-headers "$thin" |
    awk '/^ *cmd /{cmd=$2} / name .*AutomaticAssessmentConfiguration.framework/{print cmd}')
  [[ $aac == LC_LOAD_WEAK_DYLIB ]] ||
    fail "$arch: AutomaticAssessmentConfiguration is linked by '${aac:-nothing}', not LC_LOAD_WEAK_DYLIB"

  # The library's own local symbols stay in the symbol table; without them the
  # search below would prove nothing.
  symbols=$(llvm-nm$v -C "$thin")
  grep -q 'osxnatives::platform::macos::' <<<"$symbols" ||
    fail "$arch: no macOS backend symbol found, cannot look for foreign backends"
  foreign=$(grep -E 'osxnatives::platform::(sim|linux)::' <<<"$symbols" | head -5 || true)
  [[ -z $foreign ]] || fail "$arch: holds simulated-desktop or Linux symbols:"$'\n'"$foreign"
  if grep -q -a -e OSXNATIVES_SIM_ "$thin"; then
    fail "$arch: holds the simulated desktop's settings names"
  fi
done

# No thread hops: every Apple call runs on the thread that made the native
# call, and what Apple delivers on its own queues is handled right there. A
# call that is ever truly needed goes into this list, with its reason.
thread_hops_allowed=()
for slice in "${slices[@]}"; do
  read -r arch _ <<<"$slice"
  for binary in "$out/libOSXNatives-$arch.dylib" "$root/build-macos-$arch/osxnatives-recover"; do
    hops=$( (llvm-nm$v -u "$binary" | awk '{print $NF}' |
      grep -E '^_dispatch_(a?sync|after|barrier_a?sync|apply)(_f)?$' || true
      grep -a -o 'performSelectorOnMainThread:[A-Za-z:]*' "$binary" | sort -u || true) |
      grep -vxF -f <(printf '%s\n' "${thread_hops_allowed[@]}" _none_) || true)
    [[ -z $hops ]] || fail "$arch: ${binary##*/} hands work to another thread: $(echo $hops)"
  done
done

# Every Objective-C++ file refuses to compile without ARC.
for source in $(cd "$root" && git ls-files '*.mm' 2>/dev/null || find src cmake -name '*.mm'); do
  grep -q '^#error "This file is built with automatic reference counting' "$root/$source" ||
    fail "$source has no ARC guard"
done

# Every entry point of the backend drains its own autorelease pool.
echo "macos-cross: checking autorelease pools"
python3 "$root/scripts/objc_pools.py" "$root/build-macos-arm64/compile_commands.json" "$root" \
  "$jobs" || fail "an entry point messages objects outside @autoreleasepool"

# The arm64 slices carry a valid code signature; a flipped byte must break it.
if python3 "$root/scripts/macho_signature.py" "$universal" "$recover"; then
  flipped=$(mktemp)
  cp "$universal" "$flipped"
  offset=$(llvm-objdump$v --macho --universal-headers "$universal" |
    awk '/cputype CPU_TYPE_ARM64/ {arm=1} arm && /^ *offset/ {print $2; exit}')
  printf '\xff' | dd of="$flipped" bs=1 seek=$((offset + 4096 + 123)) conv=notrunc status=none
  if python3 "$root/scripts/macho_signature.py" "$flipped" >/dev/null 2>&1; then
    fail "the signature check passed a slice with a flipped byte"
  fi
  rm -f "$flipped"
else
  fail "an arm64 slice is not validly signed"
fi

# Every .mm of the sources is compiled, and analysed with its slice's flags.
echo "macos-cross: analysing every .mm"
if ! python3 - "$root" "$jobs" "${slices[@]}" <<'EOF'; then
import concurrent.futures, os, pathlib, subprocess, sys

root, jobs, slices = pathlib.Path(sys.argv[1]), int(sys.argv[2]), sys.argv[3:]
sys.path.insert(0, str(root / "scripts"))
from compile_commands import check_argv, entries

sources = {p.resolve() for d in ("src", "cmake") for p in (root / d).rglob("*.mm")}
runs = []
for slice_ in slices:
    arch = slice_.split()[0]
    compiled = set()
    for entry in entries(root / f"build-macos-{arch}"):
        path = pathlib.Path(entry["file"]).resolve()
        if path.suffix != ".mm":
            continue
        compiled.add(path)
        kept = check_argv(entry)
        kept += ["--analyze", "-Xanalyzer", "-analyzer-checker=osx",
                 "-Xanalyzer", "-analyzer-werror", "-o", os.devnull]
        runs.append((arch, path, entry["directory"], kept))
    for missing in sorted(sources - compiled):
        print(f"{arch}: {missing.relative_to(root)} is not compiled by the build", file=sys.stderr)
        runs.append(None)

def analyse(run):
    arch, path, directory, argv = run
    done = subprocess.run(argv, cwd=directory, capture_output=True, text=True)
    return run, done

failed = sum(run is None for run in runs)
with concurrent.futures.ThreadPoolExecutor(max_workers=jobs) as pool:
    for (arch, path, _, _), done in pool.map(analyse, [r for r in runs if r]):
        if done.returncode != 0 or "warning:" in done.stderr:
            failed += 1
            print(f"{arch}: {path.relative_to(root)}:\n{done.stderr}", file=sys.stderr)
print(f"macos-cross: {sum(r is not None for r in runs)} analyser runs, {failed} failed")
sys.exit(1 if failed else 0)
EOF
  fail "the static analyser or the source list found problems"
fi

echo "macos-cross: $(llvm-lipo$v -archs "$universal") -> ${universal#"$root"/}" \
  "($(stat -c %s "$universal") bytes), ${recover#"$root"/} ($(stat -c %s "$recover") bytes)"
printf 'macos-cross:   %s\n' "${sizes[@]}"
echo "macos-cross: $(($(date +%s) - started)) s"
if ((status)); then
  echo "macos-cross: FAILED" >&2
  exit 1
fi
echo "macos-cross: all checks passed"
