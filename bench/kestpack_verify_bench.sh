#!/bin/bash
# kestpack verify against `openssl dgst -md5` on the same file: an installer
# of the sample pack with a 300 MB tail behind its signature record (bytes
# the signature does not cover, which verify never reads). Prints the
# fastest of five runs of each (each a process of its own, taking turns),
# the ratio of verify's time to openssl's (at most 1 is the target), and
# the peak memory (maximum resident set size) of each.
#
#   bench/kestpack_verify_bench.sh [KESTPACK [WORK_FOLDER]]
#
# KESTPACK defaults to the release build's (build/host); the work folder to
# a fresh one on tmpfs (/dev/shm), removed at the end, so that both read
# the file from memory. The stub is the kestpack tests' small executable
# with an archive offset slot, compiled here.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
kestpack="${1:-$root/build/host/tools/kestpack/kestpack}"
if [ ! -x "$kestpack" ]; then
  echo "kestpack_verify_bench: no kestpack at $kestpack (build it: scripts/build.sh host)" >&2
  exit 1
fi
if [ $# -ge 2 ]; then
  work="$2"
  mkdir -p "$work"
else
  work="$(mktemp -d /dev/shm/kestpack-verify-bench.XXXXXX)"
  trap 'rm -rf "$work"' EXIT
fi

i686-w64-mingw32-gcc -s -o "$work/stub.exe" "$root/tests/kestpack/fixtures/tiny_stub.c"
sample="$root/samples/morvane"
"$kestpack" build -o "$work/setup.exe" --stub "$work/stub.exe" \
  --key "$root/tests/keys/test-signing-key.pem" \
  --components "$sample/CPACK.INI" --dependencies "$sample/CPACK.INF" "$sample/files" >/dev/null
head -c $((300 * 1024 * 1024)) /dev/urandom >>"$work/setup.exe"
size=$(stat -c %s "$work/setup.exe")
echo "package: $size bytes (the sample pack, its signature record, a 300 MiB tail)"

# Seconds (wall clock, to the microsecond) and peak memory in KiB of one
# run, as "SECONDS KIB"; fails when the command does.
measure() {
  local start end
  start=$(date +%s%N)
  /usr/bin/time -f '%M' -o "$work/memory.txt" "$@" >/dev/null
  end=$(date +%s%N)
  echo "$(( (end - start) / 1000 ))e-6 $(cat "$work/memory.txt")"
}
best_ours=999999 best_openssl=999999 mem_ours=0 mem_openssl=0
for _ in 1 2 3 4 5; do
  read -r t m < <(measure "$kestpack" verify "$work/setup.exe")
  best_ours=$(awk -v a="$best_ours" -v b="$t" 'BEGIN { print (b + 0 < a + 0) ? b + 0 : a + 0 }')
  mem_ours=$m
  read -r t m < <(measure openssl dgst -md5 "$work/setup.exe")
  best_openssl=$(awk -v a="$best_openssl" -v b="$t" 'BEGIN { print (b + 0 < a + 0) ? b + 0 : a + 0 }')
  mem_openssl=$m
done
awk -v o="$best_ours" -v s="$best_openssl" -v mo="$mem_ours" -v ms="$mem_openssl" 'BEGIN {
  printf "kestpack verify    %8.4f s   peak %7.1f MiB\n", o, mo / 1024
  printf "openssl dgst -md5  %8.4f s   peak %7.1f MiB\n", s, ms / 1024
  printf "ratio verify / openssl: %.3f (time), %.2f (peak memory)\n", o / s, mo / ms
}'
