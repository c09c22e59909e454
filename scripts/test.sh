#!/bin/bash
# Builds everything and runs every test:
#   the shipped 32-bit installer image checked without running it and
#   built twice to the same bytes,
#   host unit tests (ASan + UBSan), the vendor guide's commands, Win32 unit
#   and scenario tests under Wine,
#   and each fuzz target over its seeds and kept inputs, then for a short
#   time (scripts/fuzz.sh fuzzes longer).
# The Win32 tests run on both Windows builds: the x86-64 build of the same
# sources under 64-bit Wine, and the shipped 32-bit build under 32-bit Wine.
# Where this machine runs no 32-bit x86 code (scripts/wine-arch.sh;
# KEST_WINE_ARCH=win64 takes that path anywhere), the 32-bit build's group
# runs inside an emulated machine that does (scripts/guest32.sh), in the
# background from the moment the builds and the sample packages are ready,
# as it takes longer than everything else; KEST_TEST_GUEST=0 leaves it out,
# and the summary then counts it as not run. A guest that cannot start
# fails that group. The other Win32 groups run in the background, each in a
# Wine prefix of its own, after the other groups.
# Prints each group's result and seconds, and "N passed, N failed" (and
# "N not run" when a group was left out) at the end; exits non-zero on any
# failure.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/setup.sh || exit 1
arch="$(scripts/wine-arch.sh)" || exit 1
guest="${KEST_TEST_GUEST:-1}"
if [ "$arch" = win64 ] && [ "$guest" != 0 ]; then
  echo "== Win32 tests run on the x86-64 build under 64-bit Wine, and on the 32-bit build under 32-bit Wine in an emulated machine: this one runs no 32-bit x86 code"
elif [ "$arch" = win64 ]; then
  echo "== Win32 tests run on the x86-64 build under 64-bit Wine: this machine runs no 32-bit x86 code, and KEST_TEST_GUEST=0 leaves out the 32-bit build's run in an emulated machine"
else
  echo "== Win32 tests run on the 32-bit build under 32-bit Wine and on the x86-64 build under 64-bit Wine"
fi
# The release host build is needed for its kestpack only.
bash scripts/build.sh stubs win32 win64 host-asan || exit 1
echo "== builds: $SECONDS s"

passed=0
failed=0
not_run=0
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

# The Win32 groups run in the background, each in a Wine prefix of its own
# (two groups in one prefix would share registry keys), beside each other;
# their output follows.
background_names=()
background_pids=()
background_logs=()
background_begun=()
start_group() {  # start_group NAME COMMAND [ARGS...]
  local name="$1" log="build/group-${#background_pids[@]}.log"
  shift
  rm -f "$log.end"
  ( "$@" &
    command_pid=$!
    # Stopped early, the group stops its command (which stops what it started).
    trap 'kill "$command_pid" 2>/dev/null; wait "$command_pid"; exit 143' TERM
    wait "$command_pid"
    status=$?
    date +%s >"$log.end"
    exit "$status" ) >"$log" 2>&1 &
  background_pids+=($!)
  background_names+=("$name")
  background_logs+=("$log")
  background_begun+=("$(date +%s)")
}
stop_groups() {
  local pid
  for pid in "${background_pids[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
}
trap stop_groups EXIT
trap 'exit 130' INT TERM

# The 32-bit build's group in the emulated machine starts at once: it takes
# longer than everything else together. It has one emulated processor of
# its own and writes only under build/win32, which the groups below only
# read (the reproducible build finds build/win32 up to date).
win32_group=(scripts/with-wine.sh bash -c 'cd "build/$KEST_WINE_ARCH" && ctest --output-on-failure')
if [ "$arch" = win64 ] && [ "$guest" != 0 ]; then
  start_group "Win32 tests (win32, in the guest)" \
    scripts/guest32.sh env KEST_WINE_ARCH=win32 "${win32_group[@]}"
fi


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

# The Win32 groups start only now: beside the host tests and the fuzzing,
# their timing-sensitive cases (a run killed at a given file, a report that
# must show while a page waits) failed now and then on two cores.
start_group "Win32 tests (win64)" env KEST_WINE_ARCH=win64 "${win32_group[@]}"
if [ "$arch" = win32 ]; then
  start_group "Win32 tests (win32)" env KEST_WINE_ARCH=win32 "${win32_group[@]}"
elif [ "$guest" = 0 ]; then
  echo "== Win32 tests (win32, in the guest): not run: KEST_TEST_GUEST=0 left them out"
  not_run=$((not_run + 1))
fi

for i in "${!background_pids[@]}"; do
  echo "== ${background_names[$i]}"
  wait "${background_pids[$i]}"
  status=$?
  cat "${background_logs[$i]}"
  took="$(( $(cat "${background_logs[$i]}.end" 2>/dev/null || date +%s) - background_begun[i] ))"
  record "${background_names[$i]}" "$status" "$took"
done
background_pids=()
trap - EXIT

echo
summary="groups: $passed passed, $failed failed"
if [ "$not_run" != 0 ]; then summary+=", $not_run not run"; fi
echo "$summary"
[ "$failed" = 0 ]
