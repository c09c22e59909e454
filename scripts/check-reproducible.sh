#!/bin/bash
# Builds the same sources twice, in two fresh folders of different names and
# at two different times, and compares the results byte for byte:
#   win32    the 32-bit installer stub and the sample component (default)
#   win64    the same for the x86-64 build
#   sample   the signed sample installer on the 32-bit stub (kestpack too)
#   scripts/check-reproducible.sh [--reuse-build] [win32] [win64] [sample]
# The sources are the files git tracks, as they stand in the work tree. No
# compiler cache takes part. Prints the SHA-256 of every file compared;
# exits non-zero when any pair differs or a build fails.
# --reuse-build: the first build is the project's own build/win32 or
# build/win64 (scripts/build.sh), brought up to date, where it was set up
# with the same options and no compiler launcher; the second is still made
# here in a fresh folder. Otherwise both are made here.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/configurations.sh"
reuse=0
if [ "${1:-}" = --reuse-build ]; then reuse=1; shift; fi
[ $# -gt 0 ] || set -- win32
for what in "$@"; do
  case "$what" in win32|win64) ;;
    sample) reuse=0 ;;  # the project's sample is dated from git, a copy's is not
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

build_in() {  # SOURCE-FOLDER CONFIGURATION TARGET...
  local src="$1" name="$2" options
  shift 2
  mapfile -t options < <(kest_options "$name" "$src")
  kest_configure "$src" "$src/build/$name" "${options[@]}"
  cmake --build "$src/build/$name" --target "$@" -j "${KEST_JOBS:-$(nproc)}" >"$src/build/$name.log" 2>&1 ||
    { tail -30 "$src/build/$name.log" >&2; return 1; }
}

# Whether the project's build/NAME was set up as this script sets a fresh
# folder up: the same options, no compiler launcher.
neutral() {  # NAME
  local options
  mapfile -t options < <(kest_options "$1" "$root")
  [ -f "$root/build/$1/kest-configure.txt" ] &&
    [ "$(cat "$root/build/$1/kest-configure.txt")" = "$(kest_configure_record "${options[@]}")" ]
}

build_tree() {  # SOURCE-FOLDER
  local src="$1" w need_host=0 need32=0
  for w in "${targets[@]}"; do
    case "$w" in win32) need32=1 ;; sample) need32=1; need_host=1 ;; esac
  done
  if [ "$need32" = 1 ]; then build_in "$src" win32 kestinst morvgrid; fi
  for w in "${targets[@]}"; do
    if [ "$w" = win64 ]; then build_in "$src" win64 kestinst morvgrid; fi
  done
  if [ "$need_host" = 1 ]; then
    build_in "$src" host kestpack
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
if [ "$reuse" = 1 ]; then
  for w in "${targets[@]}"; do
    if ! neutral "$w"; then
      echo "check-reproducible: build/$w was set up otherwise (options or a compiler launcher): both builds made here"
      reuse=0
    fi
  done
fi
if [ "$reuse" = 1 ]; then
  first="$root"
  echo "check-reproducible: the first build is $root/build"
  build_tree "$first"
else
  copy_sources "$first"
  echo "check-reproducible: building in $first"
  build_tree "$first"
  sleep 2
fi
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
