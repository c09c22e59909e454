#!/bin/bash
# Builds the sample pack "Morvane Components" into a signed installer:
#   build/ARCH/sample/MorvaneSetup.exe
# from samples/morvane (manifests and files) and the sample component
# library of the same Windows build, on that build's installer, signed with
# the repository's TEST key (tests/keys).
#   scripts/sample.sh [win32|win64]     (default win32)
# Needs scripts/build.sh ARCH host first.
#
# Beside it, two variants that the wizard scenarios (tests/ui) play:
#   build/ARCH/sample/NoProduct.exe       the component manifest names no
#                                         product
#   build/ARCH/sample/NotRegistering.exe  the pack with a component whose
#                                         registration fails (the test
#                                         component probe_failing.dll of
#                                         the same build; skipped without it)
#   build/ARCH/sample/VendorKey.exe       the pack signed with a key pair of
#                                         its own (vendor.pem, vendor.der from
#                                         kestpack keygen), put into the same
#                                         stub's public-key slot
#   build/ARCH/sample/ReplaceNow.exe      the pack with a component that asks
#                                         for an in-use copy of itself to be
#                                         replaced at once (probe_replace_now.dll;
#                                         skipped without it)
#   build/ARCH/sample/WatchesPage.exe     the pack with a component that
#                                         records the page while it registers
#                                         (probe_windows.dll; skipped without it)
#   build/ARCH/sample/BlankProduct.exe    the component manifest names a
#                                         product that is blank
#   build/ARCH/sample/ModernKey.exe       the pack with the second signature
#                                         record (RSA-3072 SHA-256), the
#                                         modern TEST key put into the same
#                                         stub's modern-key slot
#   build/ARCH/sample/ModernRequired.exe  the same, with the slot's flag that
#                                         requires the second record set
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
arch="${1:-win32}"
case "$arch" in win32|win64) ;; *) echo "sample: unknown build $arch" >&2; exit 2 ;; esac
kestpack="$root/build/host/tools/kestpack/kestpack"
windows="$root/build/$arch"
out="$windows/sample"

for need in "$kestpack" "$windows/kestinst.exe" "$windows/samples/morvgrid.dll"; do
  if [ ! -f "$need" ]; then
    echo "sample: $need is missing; run scripts/build.sh $arch host first" >&2
    exit 1
  fi
done

rm -rf "$out"
mkdir -p "$out/pack"
cp -R "$root/samples/morvane/files/." "$out/pack/"
cp "$windows/samples/morvgrid.dll" "$out/pack/"
cp "$root/samples/morvane/CPACK.INI" "$root/samples/morvane/CPACK.INF" "$out/"
# Reproducible input times: every file dated from the last commit.
stamp="$(git -C "$root" log -1 --format=%cI 2>/dev/null || echo 2026-01-01T00:00:00Z)"
find "$out" -exec touch -d "$stamp" {} +

"$kestpack" build -o "$out/MorvaneSetup.exe" \
  --stub "$windows/kestinst.exe" \
  --key "$root/tests/keys/test-signing-key.pem" \
  --components "$out/CPACK.INI" \
  --dependencies "$out/CPACK.INF" \
  "$out/pack"
"$kestpack" list "$out/MorvaneSetup.exe"
"$kestpack" verify "$out/MorvaneSetup.exe" --public-key "$root/tests/keys/test-signing-key.der"

# The variants: same key, same files, one change each.
build_variant() {  # NAME COMPONENTS-FILE PACK-FOLDER
  "$kestpack" build -o "$out/$1.exe" --stub "$windows/kestinst.exe" \
    --key "$root/tests/keys/test-signing-key.pem" \
    --components "$2" --dependencies "$out/CPACK.INF" "$3" >/dev/null
}
printf '[Component1]\r\nName=Morvane Development\r\nVersion=1.1\r\n' >"$out/NOPRODUCT.INI"
touch -d "$stamp" "$out/NOPRODUCT.INI"
build_variant NoProduct "$out/NOPRODUCT.INI" "$out/pack"
printf '[Component1]\r\nName=Morvane Development\r\nProduct= \r\nVersion=1.1\r\n' \
  >"$out/BLANKPRODUCT.INI"
touch -d "$stamp" "$out/BLANKPRODUCT.INI"
build_variant BlankProduct "$out/BLANKPRODUCT.INI" "$out/pack"
# The pack with one more test component of the same build, when built.
build_with_probe() {  # NAME PROBE
  local probe="$windows/tests/install/registration/$2.dll"
  [ -f "$probe" ] || return 0
  mkdir -p "$out/$2"
  cp -R "$out/pack/." "$out/$2/"
  cp "$probe" "$out/$2/"
  find "$out/$2" -exec touch -d "$stamp" {} +
  build_variant "$1" "$out/CPACK.INI" "$out/$2"
}
# A vendor's key through the stub's key slot.
"$kestpack" keygen "$out/vendor" >/dev/null
"$kestpack" build -o "$out/VendorKey.exe" --stub "$windows/kestinst.exe" \
  --key "$out/vendor.pem" --public-key "$out/vendor.der" \
  --components "$out/CPACK.INI" --dependencies "$out/CPACK.INF" "$out/pack" >/dev/null
"$kestpack" verify "$out/VendorKey.exe" --public-key "$out/vendor.der" >/dev/null
# The second signature record, with the modern TEST key.
for variant in ModernKey ModernRequired; do
  required=()
  if [ "$variant" = ModernRequired ]; then required=(--modern-required); fi
  "$kestpack" build -o "$out/$variant.exe" --stub "$windows/kestinst.exe" \
    --key "$root/tests/keys/test-signing-key.pem" \
    --modern-key "$root/tests/keys/test-modern-key.pem" \
    --modern-public-key "$root/tests/keys/test-modern-key.der" "${required[@]}" \
    --components "$out/CPACK.INI" --dependencies "$out/CPACK.INF" "$out/pack" >/dev/null
  "$kestpack" verify "$out/$variant.exe" >/dev/null
done
build_with_probe NotRegistering probe_failing
build_with_probe ReplaceNow probe_replace_now
build_with_probe WatchesPage probe_windows
