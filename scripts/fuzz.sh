#!/bin/bash
# Builds every libFuzzer target with clang (ASan, UBSan) and runs each for a
# bounded time; fails on any finding (a crash, a sanitizer report, a leak,
# a time-out or running out of memory), whose input is kept under
# build/fuzz/findings/.
#   scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 60)
# Targets are fuzz/<name>_fuzzer.cpp (program fuzz_<name>). Before a run the
# target's seeds are made fresh by fuzz/seeds/<name>.sh when it exists
# (some build installers with the kestpack and test stub built here too);
# what the fuzzer finds worth keeping grows build/fuzz/corpus/<name>
# between runs. KEST_FUZZ_BUILD names another build folder.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
build="${KEST_FUZZ_BUILD:-$root/build/fuzz}"
jobs="${KEST_JOBS:-2}"

if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKEST_FUZZ=ON -DKEST_SANITIZE=ON \
    -DCMAKE_C_FLAGS="-fsanitize=fuzzer-no-link" -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" \
    >/dev/null
fi

names=()
for source in "$root"/fuzz/*_fuzzer.cpp; do
  stem="$(basename "$source" .cpp)"
  names+=("${stem%_fuzzer}")
done
targets=()
for name in "${names[@]}"; do targets+=("fuzz_$name"); done
targets+=(kestpack kestpack_fixtures)  # for the seed scripts
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
  options=(-max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1
           -artifact_prefix="$findings/$name-")
  if [ -f "$root/fuzz/$name.dict" ]; then options+=(-dict="$root/fuzz/$name.dict"); fi
  echo "fuzz: $name for ${seconds}s ($(ls "$seeds" | wc -l) seeds, $(ls "$corpus" | wc -l) kept inputs)"
  if "$build/fuzz/fuzz_$name" "${options[@]}" "$corpus" "$seeds" >"$build/fuzz/$name.log" 2>&1; then
    grep -E '^stat::number_of_executed_units|^Done' "$build/fuzz/$name.log" | tr '\n' ' '
    echo
  else
    echo "fuzz: $name FOUND A FAULT (log: $build/fuzz/$name.log)" >&2
    grep -E -A25 'ERROR|==[0-9]+==|runtime error|deadly signal' "$build/fuzz/$name.log" | head -40 >&2
    failed=1
  fi
done
exit "$failed"
