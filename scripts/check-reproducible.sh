#!/bin/bash
# Builds the same sources twice, in two fresh folders of different names and
# at two different times, and compares the results byte for byte:
#   win32    the 32-bit installer stub and the sample component (default)
#   win64    the same for the x86-64 build
#   sample   the signed sample installer on the 32-bit stub (kestpack too)
#   scripts/check-reproducible.sh [win32] [win64] [sample]
# The sources are the files git tracks, as they stand in the work tree. No
# compiler cache takes part. Prints the SHA-256 of every file compared;
# exits non-zero when any pair differs or a build fails.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
[ $# -gt 0 ] || set -- win32
for what in "$@"; do
  case "$what" in win32|win64|sample) ;;
    *) echo "check-reproducible: unknown build $what (win32, win64 or sample)" >&2; exit 2 ;;
  esac
done

work="$(mktemp -d /tmp/kest-repro.XXXXXX)"
trap 'rm -rf "$work"' EXIT
unset CMAKE_CXX_COMPILER_LAUNCHER CMAKE_C_COMPILER_LAUNCHER
export CCACHE_DISABLE=1
# ARJ entry times are local times: the sample pack is made in one zone.
export TZ=UTC

copy_sources() {  # FOLDER
  mkdir -p "$1"
  (cd "$root" && git ls-files -z | tar --null -T - -cf -) | tar -xf - -C "$1"
}

build_tree() {  # SOURCE-FOLDER
  local src="$1" w need_host=0 need32=0
  for w in "${targets[@]}"; do
    case "$w" in win32) need32=1 ;; sample) need32=1; need_host=1 ;; esac
  done
  if [ "$need32" = 1 ]; then
    cmake -S "$src" -B "$src/build/win32" -DCMAKE_BUILD_TYPE=MinSizeRel \
      -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-i686.cmake" >/dev/null
    cmake --build "$src/build/win32" --target kestinst morvgrid -j "${KEST_JOBS:-$(nproc)}" >"$src/build/win32.log" 2>&1 ||
      { tail -30 "$src/build/win32.log" >&2; return 1; }
  fi
  for w in "${targets[@]}"; do
    [ "$w" = win64 ] || continue
    cmake -S "$src" -B "$src/build/win64" -DCMAKE_BUILD_TYPE=MinSizeRel \
      -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-x86_64.cmake" >/dev/null
    cmake --build "$src/build/win64" --target kestinst morvgrid -j "${KEST_JOBS:-$(nproc)}" >"$src/build/win64.log" 2>&1 ||
      { tail -30 "$src/build/win64.log" >&2; return 1; }
  done
  if [ "$need_host" = 1 ]; then
    cmake -S "$src" -B "$src/build/host" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$src/build/host" --target kestpack -j "${KEST_JOBS:-$(nproc)}" >"$src/build/host.log" 2>&1 ||
      { tail -30 "$src/build/host.log" >&2; return 1; }
    # The sample script dates every input file from the last commit; in a
    # copy without git history that is its fixed fallback date.
    bash "$src/scripts/sample.sh" win32 >/dev/null
  fi
}

outputs() {  # the files compared, relative to a source folder
  local w
  for w in "${targets[@]}"; do
    case "$w" in
      win32|win64) echo "build/$w/kestinst.exe"; echo "build/$w/samples/morvgrid.dll" ;;
      sample) echo "build/win32/sample/MorvaneSetup.exe" ;;
    esac
  done
}

targets=("$@")
first="$work/a"
second="$work/second-build-folder"
copy_sources "$first"
echo "check-reproducible: building in $first"
build_tree "$first"
sleep 2
copy_sources "$second"
echo "check-reproducible: building in $second"
build_tree "$second"

status=0
while read -r file; do
  a="$(sha256sum <"$first/$file" | cut -d' ' -f1)"
  b="$(sha256sum <"$second/$file" | cut -d' ' -f1)"
  if [ "$a" = "$b" ]; then
    echo "same      $a  $file"
  else
    echo "DIFFERENT $a $b  $file"
    cmp -l "$first/$file" "$second/$file" | head -5
    status=1
  fi
done < <(outputs | sort -u)
exit "$status"
