#!/bin/bash
# The main job: set up the machine, build everything, build the sample pack
# into a signed installer and run it under Wine, silently, with a log.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/setup.sh
bash scripts/build.sh win32 host
bash scripts/sample.sh

echo
echo "Running build/sample/MorvaneSetup.exe /U0 /L under Wine"
scripts/with-wine.sh bash -c '
  target="$WINEPREFIX/drive_c/Morvane Components"
  wine build/win32/tests/support/exitcode.exe \
    "build\\sample\\MorvaneSetup.exe" /U0 /L "\"c:\\Morvane Components\""
  echo
  echo "The same package with one byte of its archive changed is refused (0x8040F001):"
  cp build/sample/MorvaneSetup.exe build/sample/Tampered.exe
  size=$(stat -c %s build/sample/Tampered.exe)
  printf "\\xff" | dd of=build/sample/Tampered.exe bs=1 seek=$((size - 200)) conv=notrunc status=none
  wine build/win32/tests/support/exitcode.exe "build\\sample\\Tampered.exe" /U0
  if [ -d "$target" ]; then
    echo "Installed into c:\\Morvane Components:"
    (cd "$target" && find . -type f | sort)
    if [ -f "$target/install.log" ]; then echo; cat "$target/install.log"; fi
  fi'
