#!/bin/bash
# Configures and builds the project's configurations into build/.
usage() {
  cat <<'EOF_USAGE'
usage: scripts/build.sh [--benchmarks] [-DOPTION=VALUE...] [CONFIGURATION...]
                                     (default: win32 win64 host host-asan)

  win32       build/win32: the installer kestinst.exe and its Win32 tests
              (mingw-w64, run under Wine)
  win64       build/win64: the same sources for x86-64 Windows (run under
              64-bit Wine where the machine runs no 32-bit x86 code)
  host        build/host: release host build: kestpack
  host-asan   build/host-asan: host unit tests under ASan and UBSan
  stubs       only what a vendor needs, no tests: kestpack
              (build/host/tools/kestpack/kestpack) and the installer stubs
              build/win32/kestinst.exe and build/win64/kestinst.exe

--benchmarks   also builds the benchmarks of win32, win64 and host (a plain
               build leaves them out; scripts/bench.sh runs them)
-DOPTION=VALUE a CMake option for every configuration named, such as
               -DKEST_PUBLIC_KEY=/absolute/path/key.der

A folder is set up again whenever the options it is built with (those
above, its own, and the compiler launchers in CMAKE_C_COMPILER_LAUNCHER and
CMAKE_CXX_COMPILER_LAUNCHER) differ from the last time: an option left out
returns to its default. A vendor's key needs no rebuild: kestpack build
--public-key puts it into any stub's public-key slot.
Environment: KEST_JOBS (parallel jobs, default: the number of processors).
EOF_USAGE
}
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
jobs="${KEST_JOBS:-$(nproc)}"

source "$root/scripts/configurations.sh"

benchmarks=0
extra=()

# build_one CONFIGURATION [TARGET]: the whole configuration, or one target.
build_one() {
  local options
  if ! options="$(kest_options "$1" "$root")" || [ "$1" = fuzz ]; then
    echo "build: unknown configuration $1 (scripts/build.sh --help lists them)" >&2; exit 2
  fi
  mapfile -t options <<<"$options"
  kest_configure "$root" "$root/build/$1" "${options[@]}" "${extra[@]}"
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
while [ $# -gt 0 ]; do
  case "$1" in
    --benchmarks) benchmarks=1 ;;
    -D?*) extra+=("$1") ;;
    -*) echo "build: unknown option $1 (scripts/build.sh --help lists them)" >&2; exit 2 ;;
    *) break ;;
  esac
  shift
done
if [ $# -eq 0 ]; then set -- win32 win64 host host-asan; fi
for c in "$@"; do
  case "$c" in
    stubs) build_one host kestpack; build_one win32 kestinst; build_one win64 kestinst ;;
    *) build_one "$c"
       case "$c" in win32|win64|host) [ "$benchmarks" = 0 ] || build_one "$c" benchmarks ;; esac ;;
  esac
done
