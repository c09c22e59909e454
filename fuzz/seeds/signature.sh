#!/bin/bash
# Seeds for fuzz_signature: installers that kestpack builds from a small
# pack with methods 0 to 3 (methods 0 and 1 also with the second, RSA-3072
# SHA-256 record), each behind its archive offset as a 32-bit little-endian
# number; and the archive seeds (Debian's arj, archive.sh) behind four zero
# bytes.
#   fuzz/seeds/signature.sh OUT_FOLDER
# The kestpack and the installer stub to build with are $KESTPACK and
# $KEST_STUB, by default those of the fuzz build (scripts/fuzz.sh builds
# both there). The stub is the tests' small stand-in, whose public-key slots
# get the test keys.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
mkdir -p "$1"
out="$(cd "$1" && pwd)"
build="${KEST_FUZZ_BUILD:-$root/build/fuzz}"
kestpack="${KESTPACK:-$build/tools/kestpack/kestpack}"
stub="${KEST_STUB:-$build/tests/kestpack/fixtures/tiny_stub.exe}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Writes file $2 behind the 32-bit little-endian number $1 into $3.
behind() {
  local n="$1"
  printf "$(printf '\\%03o' $((n & 255)) $((n >> 8 & 255)) $((n >> 16 & 255)) $((n >> 24)))" > "$3"
  cat "$2" >> "$3"
}

mkdir -p "$work/pack/help" "$work/pack/_winsys"
printf '[Component1]\r\nName=Morvane Development\r\nVersion=1.1\r\n' > "$work/CPACK.INI"
printf '[Dependencies]\r\nDefault=C:\\Morvane Components\\\r\n' > "$work/CPACK.INF"
seq 1 150 | sed 's/$/ grid control help text/' > "$work/pack/help/grid.txt"
head -c 2000 /bin/ls > "$work/pack/_winsys/tiny.dll"
printf 'a' > "$work/pack/one.txt"
modern=(--modern-key "$root/tests/keys/test-modern-key.pem"
        --modern-public-key "$root/tests/keys/test-modern-key.der")
for seed in m0 m1 m2 m3 m0-modern m1-modern; do
  m="${seed:1:1}"
  installer="$work/$seed.exe"
  extra=()
  if [ "${seed#*-}" = modern ]; then extra=("${modern[@]}"); fi
  "$kestpack" build -o "$installer" --stub "$stub" --key "$root/tests/keys/test-signing-key.pem" \
    --public-key "$root/tests/keys/test-signing-key.der" "${extra[@]}" \
    --components "$work/CPACK.INI" --dependencies "$work/CPACK.INF" --method "$m" "$work/pack" \
    2> >(grep -v 'for testing only' >&2) >/dev/null
  offset="$("$kestpack" list "$installer" | sed -n 's/.*archive at offset \([0-9]*\),.*/\1/p')"
  behind "$offset" "$installer" "$out/installer-$seed"
done

bash "$(dirname "$0")/archive.sh" "$work/archives"
for archive in "$work"/archives/*; do
  behind 0 "$archive" "$out/archive-$(basename "$archive")"
done
