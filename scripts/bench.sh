#!/bin/bash
# Builds the release host configuration and runs every benchmark, printing
# its figures and its ratios against the peer it is compared with.
# Usage: scripts/bench.sh [CORPUS_FOLDER]
#   CORPUS_FOLDER  kept between runs by the encoder benchmark (built there
#                  when it does not exist); default: a scratch folder.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/build.sh" host

echo "== encoder: archive size and build time against arj a -m1"
"$root/build/host/bench/encoder_bench" "$@"

echo "== decoder: output MB/s against arj e and 7z e on one arj -m1 archive"
"$root/build/host/bench/decoder_bench"

echo "== signature check: MB/s of the installer's check against openssl dgst -md5"
"$root/build/host/bench/signature_bench"
