#!/bin/bash
# Builds the sample pack "Morvane Components" into a signed installer:
#   build/sample/MorvaneSetup.exe
# from samples/morvane (manifests and files) and the sample component
# library built by the win32 configuration, signed with the repository's
# TEST key (tests/keys). Needs scripts/build.sh win32 host first.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
kestpack="$root/build/host/tools/kestpack/kestpack"
out="$root/build/sample"

rm -rf "$out"
mkdir -p "$out/pack"
cp -R "$root/samples/morvane/files/." "$out/pack/"
cp "$root/build/win32/samples/morvgrid.dll" "$out/pack/"
cp "$root/samples/morvane/CPACK.INI" "$root/samples/morvane/CPACK.INF" "$out/"
# Reproducible input times: every file dated from the last commit.
stamp="$(git -C "$root" log -1 --format=%cI 2>/dev/null || echo 2026-01-01T00:00:00Z)"
find "$out" -exec touch -d "$stamp" {} +

"$kestpack" build -o "$out/MorvaneSetup.exe" \
  --stub "$root/build/win32/kestinst.exe" \
  --key "$root/tests/keys/test-signing-key.pem" \
  --components "$out/CPACK.INI" \
  --dependencies "$out/CPACK.INF" \
  "$out/pack"
"$kestpack" list "$out/MorvaneSetup.exe"
"$kestpack" verify "$out/MorvaneSetup.exe" --public-key "$root/tests/keys/test-signing-key.der"
