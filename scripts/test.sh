#!/bin/bash
# Builds everything and runs every test:
#   the shipped 32-bit installer image checked without running it and
#   built twice to the same bytes,
#   host unit tests (ASan + UBSan), the vendor guide's commands, Win32 unit
#   and scenario tests under Wine,
#   and each fuzz target for a bounded time.
# The Win32 tests run on the 32-bit build where this machine runs 32-bit x86
# code, and on the x86-64 build of the same sources under 64-bit Wine where
# it does not (scripts/wine-arch.sh; KEST_WINE_ARCH=win64 forces that path).
# Both Windows builds are always compiled.
# Prints "N passed, N failed" at the end; exits non-zero on any failure.
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
bash scripts/build.sh win32 win64 host host-asan || exit 1

passed=0
failed=0
record() {  # record NAME STATUS
  if [ "$2" = 0 ]; then passed=$((passed + 1)); echo "== $1: passed"
  else failed=$((failed + 1)); echo "== $1: FAILED"; fi
}

echo "== installer image"
scripts/check-image.sh build/win32/kestinst.exe
record "installer image" $?

echo "== reproducible build"
# Two builds of the 32-bit stub and its sample component in fresh folders
# must be byte for byte the same.
bash scripts/check-reproducible.sh win32
record "reproducible build (win32)" $?

echo "== host tests"
(cd build/host-asan && ctest --output-on-failure -j 2)
record "host tests" $?

echo "== sample packages"
# Both stubs go through kestpack; the Wine tests use the one of $arch.
bash scripts/sample.sh win32 >/dev/null && bash scripts/sample.sh win64
record "sample packages" $?

echo "== vendor guide"
# docs/vendor-guide.md's commands exactly as written, with the stub that
# runs under this machine's Wine: from a new key to an installed component.
ARCH="$arch" python3 scripts/run-guide.py docs/vendor-guide.md
record "vendor guide" $?

echo "== Win32 tests under Wine ($arch build)"
KEST_WINE_ARCH="$arch" scripts/with-wine.sh bash -c "cd build/$arch && ctest --output-on-failure"
record "Win32 tests ($arch)" $?

if [ -x scripts/fuzz.sh ]; then
  echo "== fuzzing"
  bash scripts/fuzz.sh "${KEST_FUZZ_SECONDS:-60}"
  record "fuzzing" $?
fi

echo
echo "groups: $passed passed, $failed failed"
[ "$failed" = 0 ]
