#!/bin/bash
# Builds every libFuzzer target with clang (ASan, UBSan); runs each once
# over its seeds and kept inputs, then fuzzes it for a bounded time; fails
# on any finding in either (a crash, a sanitizer report, a leak, a time-out
# or running out of memory), whose input is kept under build/fuzz/findings/.
#   scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 60; the test command
#                                           runs it with 10)
# Targets are fuzz/<name>_fuzzer.cpp (program fuzz_<name>). Before a run the
# target's seeds are made fresh by fuzz/seeds/<name>.sh when it exists
# (some build installers with the kestpack and test stub built here too);
# what the fuzzer finds worth keeping grows build/fuzz/corpus/<name>
# between runs. KEST_FUZZ_BUILD names another build folder; KESTPACK and
# KEST_STUB, when both are set, the kestpack and test stub the seed scripts
# use instead of building them here.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
build="${KEST_FUZZ_BUILD:-$root/build/fuzz}"
jobs="${KEST_JOBS:-2}"

source "$root/scripts/configurations.sh"
mapfile -t cmake_options < <(kest_options fuzz "$root")
kest_configure "$root" "$build" "${cmake_options[@]}"

names=()
for source in "$root"/fuzz/*_fuzzer.cpp; do
  stem="$(basename "$source" .cpp)"
  names+=("${stem%_fuzzer}")
done
targets=()
for name in "${names[@]}"; do targets+=("fuzz_$name"); done
if [ -z "${KESTPACK:-}" ] || [ -z "${KEST_STUB:-}" ]; then
  targets+=(kestpack kestpack_fixtures)  # for the seed scripts
fi
export KEST_FUZZ_BUILD="$build"
echo "fuzz: building ${targets[*]}"
log="$build/fuzz-build.log"
if ! cmake --build "$build" -j "$jobs" --target "${targets[@]}" >"$log" 2>&1; then
  grep -E -B2 -A6 'error' "$log" | head -60 >&2
  echo "fuzz: build failed (full output in $log)" >&2
  exit 1
fi

failed=0
for name in "${names[@]}"; do
  corpus="$build/fuzz/corpus/$name"
  seeds="$build/fuzz/seeds/$name"
  findings="$build/fuzz/findings"
  mkdir -p "$corpus" "$findings"
  rm -rf "$seeds"
  mkdir -p "$seeds"
  if [ -f "$root/fuzz/seeds/$name.sh" ]; then
    bash "$root/fuzz/seeds/$name.sh" "$seeds"
  fi
  fuzz_options=(-timeout=20 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/$name-")
  if [ -f "$root/fuzz/$name.dict" ]; then fuzz_options+=(-dict="$root/fuzz/$name.dict"); fi
  # Every seed and kept input once (-runs=0 stops when they have run),
  # then new inputs for the time given.
  echo "fuzz: $name: $(ls "$seeds" | wc -l) seeds and $(ls "$corpus" | wc -l) kept inputs once, then ${seconds}s"
  for phase in replay fuzz; do
    if [ "$phase" = replay ]; then limit=(-runs=0); else limit=(-max_total_time="$seconds"); fi
    run_log="$build/fuzz/$name-$phase.log"
    if "$build/fuzz/fuzz_$name" "${fuzz_options[@]}" "${limit[@]}" "$corpus" "$seeds" >"$run_log" 2>&1; then
      echo "  $phase: $(grep -E '^stat::number_of_executed_units|^Done' "$run_log" | tr '\n' ' ')"
    else
      echo "fuzz: $name FOUND A FAULT in the $phase (log: $run_log)" >&2
      grep -E -A25 'ERROR|==[0-9]+==|runtime error|deadly signal' "$run_log" | head -40 >&2
      failed=1
      break
    fi
  done
done
exit "$failed"
