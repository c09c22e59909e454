#!/bin/bash
# Builds everything and runs every test:
#   host unit tests (ASan + UBSan), Win32 unit and scenario tests under Wine,
#   and each fuzz target for a bounded time.
# Prints "N passed, N failed" at the end; exits non-zero on any failure.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/setup.sh || exit 1
bash scripts/build.sh win32 host host-asan || exit 1

passed=0
failed=0
record() {  # record NAME STATUS
  if [ "$2" = 0 ]; then passed=$((passed + 1)); echo "== $1: passed"
  else failed=$((failed + 1)); echo "== $1: FAILED"; fi
}

echo "== host tests"
(cd build/host-asan && ctest --output-on-failure -j 2)
record "host tests" $?

if [ -x scripts/sample.sh ]; then
  echo "== sample package"
  bash scripts/sample.sh
  record "sample package" $?
fi

echo "== Win32 tests under Wine"
KEST_BUILD="$root/build" scripts/with-wine.sh bash -c 'cd build/win32 && ctest --output-on-failure'
record "Win32 tests" $?

if [ -x scripts/fuzz.sh ]; then
  echo "== fuzzing"
  bash scripts/fuzz.sh "${KEST_FUZZ_SECONDS:-60}"
  record "fuzzing" $?
fi

echo
echo "groups: $passed passed, $failed failed"
[ "$failed" = 0 ]
