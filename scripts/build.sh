#!/bin/bash
# Configures and builds the project's configurations into build/.
usage() {
  cat <<'EOF_USAGE'
usage: scripts/build.sh [CONFIGURATION...]     (default: win32 win64 host host-asan)

  win32       build/win32: the installer kestinst.exe and its Win32 tests
              (mingw-w64, run under Wine)
  win64       build/win64: the same sources for x86-64 Windows (run under
              64-bit Wine where the machine runs no 32-bit x86 code)
  host        build/host: release host build: kestpack, benchmarks
  host-asan   build/host-asan: host unit tests under ASan and UBSan
  stubs       only what a vendor needs, no tests: kestpack
              (build/host/tools/kestpack/kestpack) and the installer stubs
              build/win32/kestinst.exe and build/win64/kestinst.exe

Environment: KEST_JOBS (parallel jobs, default: the number of processors).
A configuration is set up once; to change a CMake option (such as
-DKEST_PUBLIC_KEY=/absolute/path/key.der) run cmake -S . -B build/NAME -D...
A vendor's key needs no rebuild: kestpack build --public-key puts it into
any stub's public-key slot.
EOF_USAGE
}
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
jobs="${KEST_JOBS:-$(nproc)}"

configure() {
  local dir="$root/build/$1"; shift
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$dir" "$@" >/dev/null
  fi
}

# build_one CONFIGURATION [TARGET]: the whole configuration, or one target.
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
    *) echo "build: unknown configuration $1 (scripts/build.sh --help lists them)" >&2; exit 2 ;;
  esac
  echo "build: $1${2:+ ($2)}"
  local log="$root/build/$1/build.log"
  if ! cmake --build "$root/build/$1" -j "$jobs" ${2:+--target "$2"} >"$log" 2>&1; then
    grep -E -B2 -A6 'error|Error' "$log" | head -80 >&2
    echo "build: $1 failed (full output in $log)" >&2
    exit 1
  fi
  grep -E 'warning:' "$log" || true
}

case "${1:-}" in -h|--help) usage; exit 0 ;; esac
if [ $# -eq 0 ]; then set -- win32 win64 host host-asan; fi
for c in "$@"; do
  case "$c" in
    stubs) build_one host kestpack; build_one win32 kestinst; build_one win64 kestinst ;;
    *) build_one "$c" ;;
  esac
done
