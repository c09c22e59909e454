#!/bin/bash
# Configures and builds the project's configurations into build/:
#   build/win32       the installer and its Win32 tests (mingw-w64, run under Wine)
#   build/win64       the same sources for x86-64 Windows (run under 64-bit Wine
#                     where the machine runs no 32-bit x86 code)
#   build/host        release host build: kestpack, benchmarks
#   build/host-asan   host unit tests under ASan and UBSan
# Usage: scripts/build.sh [win32|win64|host|host-asan]...   (default: all four)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
jobs="${KEST_JOBS:-$(nproc)}"

configure() {
  local dir="$root/build/$1"; shift
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$dir" "$@" >/dev/null
  fi
}

build_one() {
  case "$1" in
    win32)
      configure win32 -DCMAKE_BUILD_TYPE=MinSizeRel \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" ;;
    win64)
      configure win64 -DCMAKE_BUILD_TYPE=MinSizeRel \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" ;;
    host)
      configure host -DCMAKE_BUILD_TYPE=Release ;;
    host-asan)
      configure host-asan -DCMAKE_BUILD_TYPE=Debug -DKEST_SANITIZE=ON ;;
    *) echo "build: unknown configuration $1" >&2; exit 2 ;;
  esac
  echo "build: $1"
  local log="$root/build/$1/build.log"
  if ! cmake --build "$root/build/$1" -j "$jobs" >"$log" 2>&1; then
    grep -E -B2 -A6 'error|Error' "$log" | head -80 >&2
    echo "build: $1 failed (full output in $log)" >&2
    exit 1
  fi
  grep -E 'warning:' "$log" || true
}

if [ $# -eq 0 ]; then set -- win32 win64 host host-asan; fi
for c in "$@"; do build_one "$c"; done
