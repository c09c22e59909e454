#!/bin/bash
# Builds everything and runs every test:
#   the shipped 32-bit installer image checked without running it and
#   built twice to the same bytes,
#   host unit tests (ASan + UBSan), the vendor guide's commands, Win32 unit
#   and scenario tests under Wine,
#   and each fuzz target over its seeds and kept inputs, then for a short
#   time (scripts/fuzz.sh fuzzes longer).
# The Win32 tests run on the 32-bit build where this machine runs 32-bit x86
# code, and on the x86-64 build of the same sources under 64-bit Wine where
# it does not (scripts/wine-arch.sh; KEST_WINE_ARCH=win64 forces that path).
# Both Windows builds are always compiled. The Win32 tests run in the
# background, in a Wine prefix of their own, while the other groups run
# one after another.
# Prints each group's result and seconds, and "N passed, N failed" at the
# end; exits non-zero on any failure.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/setup.sh || exit 1
arch="$(scripts/wine-arch.sh)" || exit 1
if [ "$arch" = win64 ]; then
  echo "== Win32 tests run on the x86-64 build under 64-bit Wine: this machine runs no 32-bit x86 code"
else
  echo "== Win32 tests run on the 32-bit build under 32-bit Wine"
fi
# The release host build is needed for its kestpack only.
bash scripts/build.sh stubs win32 win64 host-asan || exit 1
echo "== builds: $SECONDS s"

passed=0
failed=0
started=$SECONDS
record() {  # record NAME STATUS [SECONDS]: a group that ran since the last record, or for SECONDS
  local took="${3:-$((SECONDS - started))}"
  if [ "$2" = 0 ]; then passed=$((passed + 1)); echo "== $1: passed ($took s)"
  else failed=$((failed + 1)); echo "== $1: FAILED ($took s)"; fi
  started=$SECONDS
}

echo "== installer image"
scripts/check-image.sh build/win32/kestinst.exe
record "installer image" $?

echo "== sample packages"
# Both stubs go through kestpack; the Wine tests use the one of $arch.
bash scripts/sample.sh win32 >/dev/null && bash scripts/sample.sh win64
record "sample packages" $?

# The Win32 tests need the sample packages. They run in the background, in
# a Wine prefix of their own, while the groups below run; nothing else runs
# Wine tests at the same time (they would share registry keys).
win32_log="build/$arch-tests.log"
win32_end="build/$arch-tests.end"
rm -f "$win32_end"
win32_begun=$(date +%s)
KEST_WINE_ARCH="$arch" scripts/with-wine.sh bash -c \
  "cd build/$arch && ctest --output-on-failure; s=\$?; date +%s >'$root/$win32_end'; exit \$s" \
  >"$win32_log" 2>&1 &
win32_pid=$!
trap 'kill "$win32_pid" 2>/dev/null' EXIT
started=$SECONDS

echo "== reproducible build"
# Two builds of the 32-bit stub and its sample component in two folders
# must be byte for byte the same: build/win32, when no compiler cache built
# it, and a fresh one.
bash scripts/check-reproducible.sh --reuse-build win32
record "reproducible build (win32)" $?

echo "== host tests"
(cd build/host-asan && ctest --output-on-failure -j 2)
record "host tests" $?

echo "== vendor guide"
# docs/vendor-guide.md's commands exactly as written, with the stub that
# runs under this machine's Wine: from a new key to an installed component.
ARCH="$arch" python3 scripts/run-guide.py docs/vendor-guide.md
record "vendor guide" $?

echo "== fuzzing"
# The seeds are built with the kestpack and test stub built for the host
# tests, so the fuzz build needs only the fuzz targets.
KESTPACK="$root/build/host-asan/tools/kestpack/kestpack" \
  KEST_STUB="$root/build/host-asan/tests/kestpack/fixtures/tiny_stub.exe" \
  bash scripts/fuzz.sh "${KEST_FUZZ_SECONDS:-10}"
record "fuzzing" $?

echo "== Win32 tests under Wine ($arch build)"
wait "$win32_pid"
status=$?
trap - EXIT
cat "$win32_log"
took="$(( $(cat "$win32_end" 2>/dev/null || date +%s) - win32_begun ))"
record "Win32 tests ($arch)" "$status" "$took"

echo
echo "groups: $passed passed, $failed failed"
[ "$failed" = 0 ]
