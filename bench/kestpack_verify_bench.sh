#!/bin/bash
# kestpack verify against `openssl dgst -md5` on the same file, for two
# installers of the sample pack: one with a 300 MiB tail behind its
# signature record (bytes the signature does not cover, which verify never
# reads), and one that carries a 300 MiB file, stored, inside the signed
# range (where verify hashes as much as openssl). For each it prints the
# fastest of five runs of both (each a process of its own, taking turns),
# the ratio of verify's time to openssl's (at most 1 is the target for the
# first), and the peak memory (maximum resident set size) of each.
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
# build OUT FOLDER: an installer of the sample's manifests and FOLDER.
build() {
  "$kestpack" build -o "$1" --stub "$work/stub.exe" --method 0 \
    --key "$root/tests/keys/test-signing-key.pem" \
    --components "$sample/CPACK.INI" --dependencies "$sample/CPACK.INF" "$2" >/dev/null 2>&1
}
build "$work/tail.exe" "$sample/files"
head -c $((300 * 1024 * 1024)) /dev/urandom >>"$work/tail.exe"
mkdir -p "$work/big"
head -c $((300 * 1024 * 1024)) /dev/urandom >"$work/big/big.bin"
build "$work/signed.exe" "$work/big"
rm -rf "$work/big"

# Seconds (wall clock, to the microsecond) and peak memory in KiB of one
# run, as "SECONDS KIB"; fails when the command does.
measure() {
  local start end
  start=$(date +%s%N)
  /usr/bin/time -f '%M' -o "$work/memory.txt" "$@" >/dev/null
  end=$(date +%s%N)
  echo "$(( (end - start) / 1000 ))e-6 $(cat "$work/memory.txt")"
}
# compare FILE TITLE
compare() {
  local best_ours=999999 best_openssl=999999 mem_ours=0 mem_openssl=0 t m
  for _ in 1 2 3 4 5; do
    read -r t m < <(measure "$kestpack" verify "$1")
    best_ours=$(awk -v a="$best_ours" -v b="$t" 'BEGIN { print (b + 0 < a + 0) ? b + 0 : a + 0 }')
    mem_ours=$m
    read -r t m < <(measure openssl dgst -md5 "$1")
    best_openssl=$(awk -v a="$best_openssl" -v b="$t" 'BEGIN { print (b + 0 < a + 0) ? b + 0 : a + 0 }')
    mem_openssl=$m
  done
  echo "$2: $(stat -c %s "$1") bytes"
  awk -v o="$best_ours" -v s="$best_openssl" -v mo="$mem_ours" -v ms="$mem_openssl" 'BEGIN {
    printf "  kestpack verify    %8.4f s   peak %7.1f MiB\n", o, mo / 1024
    printf "  openssl dgst -md5  %8.4f s   peak %7.1f MiB\n", s, ms / 1024
    printf "  ratio verify / openssl: %.3f (time), %.2f (peak memory)\n", o / s, mo / ms
  }'
}
compare "$work/tail.exe" "the sample pack with a 300 MiB tail"
compare "$work/signed.exe" "a 300 MiB file inside the signed range"
