#!/usr/bin/env bash
# Checks the dynamic symbols that libOSXNatives defines: JNI_OnLoad, main, and
# one Java_..._<Class>_<name> for each native method that a Java class of the
# package declares (every .java file beside the host class, OSXNativeProvider,
# whose path is the second argument). With --all, every declared native and
# main must be exported too, and the host class must declare its 24. Reads ELF
# and thin 64-bit Mach-O libraries.
set -euo pipefail
library=$1 java_source=$2 mode=${3:-}
natives() { sed -n 's/.*native [^(]* \([A-Za-z0-9_]*\)(.*/\1/p' "$1"; }
# JNI's short names write "_" in a class or method name as "_1".
mangle() { sed 's/_/_1/g'; }
allowed=""
for source in "$(dirname "$java_source")"/*.java; do
  class=$(basename "$source" .java | mangle)
  declared_here=$(natives "$source" | mangle)
  [[ -n $declared_here ]] || continue
  allowed+=$(sed "s/^/Java_com_qor_kestrelgate_osx_natives_${class}_/" <<<"$declared_here")$'\n'
done
allowed=$(printf '%sJNI_OnLoad\nmain\n' "$allowed" | sort -u)
# A Mach-O library (thin; NM may name llvm-nm) lists its exports as external
# symbols with a leading underscore; an ELF library in its dynamic table.
if [[ $(od -An -N4 -tx1 "$library" | tr -d ' ') == cffaedfe ]]; then
  exported=$("${NM:-nm}" -g "$library" | awk 'NF == 3 && $2 != "U" {print $3}' | sed 's/^_//' |
    sort -u)
else
  exported=$(nm -D --defined-only "$library" | awk '$2 ~ /^[TtWiV]$/ {print $3}' | sed 's/@.*//' |
    sort -u)
fi
status=0
extra=$(comm -13 <(echo "$allowed") <(echo "$exported"))
if [[ -n $extra ]]; then
  echo "exported but not a JNI entry point of a class of the package:"; echo "$extra"; status=1
fi
if [[ $mode == --all ]]; then
  missing=$(comm -23 <(echo "$allowed") <(echo "$exported"))
  if [[ -n $missing ]]; then echo "declared but not exported:"; echo "$missing"; status=1; fi
fi
declared=$(natives "$java_source" | sort -u | wc -l)
if [[ $mode == --all && $declared != 24 ]]; then
  echo "the host class declares $declared natives, not 24"; status=1
fi
required_symbols=(JNI_OnLoad)
[[ $mode == --all ]] && required_symbols+=(main)
for required in "${required_symbols[@]}"; do
  grep -qx "$required" <<<"$exported" || { echo "missing $required"; status=1; }
done
echo "$(wc -l <<<"$exported") exported symbols checked"
exit $status
