# shellcheck shell=bash
# Mach-O helpers for the packaging scripts (sourced, bash 3.2 and later).

# True when FILE starts with a Mach-O or universal (fat) header.
is_macho() {
  case $(od -An -N4 -tx1 "$1" 2>/dev/null | tr -d ' \t\n') in
    cffaedfe | cefaedfe | feedfacf | feedface | cafebabe | cafebabf) return 0 ;;
    *) return 1 ;;
  esac
}

# Prints the architectures of FILE, one per line (arm64, x86_64 or the CPU
# type in hex), read from the universal header or the thin Mach-O header.
macho_archs() {
  local bytes count i
  bytes=$(od -An -v -tx1 -N 208 "$1" | tr -d ' \t\n')
  case ${bytes:0:8} in
    cafebabe)
      # Big-endian: the count, then 20-byte entries that start with the CPU type.
      count=$((16#${bytes:8:8}))
      ((count <= 10)) || count=10
      for ((i = 0; i < count; i++)); do
        cpu_name "${bytes:$((16 + 40 * i)):8}"
      done
      ;;
    cffaedfe)
      # Little-endian CPU type: reverse the bytes.
      cpu_name "${bytes:14:2}${bytes:12:2}${bytes:10:2}${bytes:8:2}"
      ;;
  esac
}

cpu_name() {
  case $1 in
    0100000c) echo arm64 ;;
    01000007) echo x86_64 ;;
    *) echo "$1" ;;
  esac
}

# Fails, naming what FILE holds, unless it holds both arm64 and x86_64.
require_universal() {
  local archs
  archs=$(macho_archs "$1" | sort | tr '\n' ' ')
  archs=${archs% }
  case " $archs " in
    *" arm64 "*) case " $archs " in *" x86_64 "*) return 0 ;; esac ;;
  esac
  echo "$2: $1 holds ${archs:-no known architecture}, not arm64 and x86_64" >&2
  return 1
}
