#!/bin/bash
# Builds the release host configuration and the Windows build the Wine tests
# use here (scripts/wine-arch.sh), and runs every benchmark, printing its
# figures and its ratios against the peer it is compared with.
# Usage: scripts/bench.sh [CORPUS_FOLDER]
#   CORPUS_FOLDER  kept between runs by the encoder benchmark (built there
#                  when it does not exist); default: a scratch folder.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
arch="$("$root/scripts/wine-arch.sh")"
bash "$root/scripts/build.sh" --benchmarks host "$arch"

echo "== encoder: archive size and build time against arj a -m1"
"$root/build/host/bench/encoder_bench" "$@"

echo "== decoder: output MB/s against arj e and 7z e on one arj -m1 archive;"
echo "   kestpack extract against 7z x and arj e on the same archive"
"$root/build/host/bench/decoder_bench"

echo "== signature check: MB/s of the installer's check against openssl dgst -md5;"
echo "   the same check with the second (RSA-3072 SHA-256) record, and its ratio"
"$root/build/host/bench/signature_bench"

echo "== copy pass under Wine ($arch build) against a plain Win32 copy of the same files"
KEST_WINE_ARCH="$arch" "$root/scripts/with-wine.sh" \
  wine "$root/build/$arch/bench/copy_pass_bench.exe" 7

echo "== install under Wine against NSIS and a plain Win32 copy"
bash "$root/bench/install_bench.sh"
