#!/bin/bash
# The install benchmark: one corpus of over a thousand files and tens of
# megabytes installed silently under Wine on tmpfs by the KestInst installer
# (kestpack, method 1), by an NSIS 3 installer of the same files (makensis,
# default zlib compression) and by a plain Win32 copy; prints the median
# times with a cold and a warm wineserver, the installer sizes, the peak
# memory and the ratios against NSIS and the plain copy (bench/install_bench.cpp
# says what exactly is measured).
#   bash bench/install_bench.sh [ROUNDS] [--large]      (ROUNDS default 5)
# --large also runs the first 1,000, 5,000, 10,000 and 20,000 files of the
# large corpus (20,000 files in 2,000 folders, about 320 MB) and prints how
# the time grows with the files; it takes several minutes a round.
# Runs the Windows build this machine runs (scripts/wine-arch.sh) with the
# NSIS stub of the same build; also prints the sizes of the shipped 32-bit
# pair (the win32 installer and NSIS's x86 stub).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
arch="$("$root/scripts/wine-arch.sh")"
rounds=5
large=()
for argument in "$@"; do
  case "$argument" in
    --large) large=(--large 1000 --large 5000 --large 10000 --large 20000) ;;
    [1-9]*) rounds="$argument" ;;
    *) echo "usage: bash bench/install_bench.sh [ROUNDS] [--large]" >&2; exit 2 ;;
  esac
done
case "$arch" in
  win32) nsis_target=x86-unicode ;;
  win64) nsis_target=amd64-unicode ;;
esac
configurations="host $arch"
if [ "$arch" = win64 ]; then configurations="$configurations win32"; fi
# shellcheck disable=SC2086
bash "$root/scripts/build.sh" --benchmarks $configurations

windows="$root/build/$arch"
echo "== install: KestInst ($arch build) against NSIS ($nsis_target) and a plain Win32 copy, under Wine on tmpfs"
pair=()
if [ "$arch" = win64 ]; then pair=(--size-pair "$root/build/win32/kestinst.exe" x86-unicode); fi
# Three small libraries to one with the C++ runtime: most component
# libraries of a pack are small.
KEST_WINE_ARCH="$arch" "$root/scripts/with-wine.sh" \
  "$root/build/host/bench/install_bench" \
  --kestpack "$root/build/host/tools/kestpack/kestpack" \
  --stub "$windows/kestinst.exe" \
  --key "$root/tests/keys/test-signing-key.pem" \
  --components "$root/samples/morvane/CPACK.INI" \
  --dependencies "$root/samples/morvane/CPACK.INF" \
  --plain-copy "$windows/bench/plain_copy.exe" \
  --nsis-target "$nsis_target" \
  --library "$windows/bench/corpus_small.dll" \
  --library "$windows/bench/corpus_runtime.dll" \
  --library "$windows/bench/corpus_small.dll" \
  --library "$windows/bench/corpus_small.dll" \
  --rounds "$rounds" "${pair[@]}" "${large[@]}"
