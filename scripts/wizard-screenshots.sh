#!/bin/bash
# Photographs every dialog for the README: plays the scenarios of tests/ui
# under Wine on a 640 x 480 virtual desktop (the smallest screen the pages
# are made for), then writes the pictures, squeezed, into docs/wizard/.
# Needs scripts/build.sh win64 host (or win32) and scripts/sample.sh first.
#   scripts/wizard-screenshots.sh [win32|win64]    (default: what the machine runs)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
arch="${1:-$("$root/scripts/wine-arch.sh")}"
test_dir="$root/build/$arch/tests/ui"
shots="$(mktemp -d /dev/shm/kestinst-shots.XXXXXX)"
trap 'rm -rf "$shots"' EXIT
KEST_WINE_ARCH="$arch" KEST_WINE_DESKTOP=640x480 "$root/scripts/with-wine.sh" bash -c \
  "cd '$test_dir' && KEST_SCREENSHOT_DIR='Z:${shots//\//\\}' wine wizard_scenario_test.exe" >/dev/null
mkdir -p "$root/docs/wizard"
args=()
for png in "$shots"/*.png; do args+=("$png" "$root/docs/wizard/$(basename "$png")"); done
python3 "$root/scripts/png_squeeze.py" "${args[@]}"
ls -l "$root/docs/wizard"
