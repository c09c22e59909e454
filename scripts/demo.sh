#!/bin/bash
# The main job: set up the machine, build everything, build the sample pack
# into a signed installer and run it under Wine, silently, with a log.
# The installer runs on the 32-bit build where this machine runs 32-bit x86
# code. Where it does not (scripts/wine-arch.sh), it runs on the x86-64 build
# of the same sources, and then the 32-bit build runs too, inside an emulated
# machine (scripts/guest32.sh).
# Exits non-zero, saying why, when a step fails or an exit code is not the
# expected one.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/setup.sh
arch="$(scripts/wine-arch.sh)"
if [ "$arch" = win64 ]; then
  echo "demo: this machine runs no 32-bit x86 code; the installer runs as its x86-64 build under 64-bit Wine, then as its 32-bit build in an emulated machine"
fi
bash scripts/build.sh win32 "$arch" host
scripts/check-image.sh build/win32/kestinst.exe
bash scripts/sample.sh "$arch"
if [ "$arch" = win64 ]; then bash scripts/sample.sh win32 >/dev/null; fi

export KEST_DEMO_BUILD="build/$arch"
# Installs the sample of build $KEST_DEMO_BUILD and checks the result, inside
# scripts/with-wine.sh.
install_sample='
  set -u
  build="$KEST_DEMO_BUILD"
  win_build="${build//\//\\}"
  target="$WINEPREFIX/drive_c/Morvane Components"
  failures=0

  run() {  # run EXPECTED-CODE INSTALLER ARGS...
    local expected="$1"; shift
    local output
    output="$(wine "$build/tests/support/exitcode.exe" "$@" 2>&1 | tr -d "\r")"
    echo "$output"
    local got
    got="$(sed -n "s/^exit code //p" <<<"$output" | tail -1)"
    if [ "$got" != "$expected" ]; then
      echo "demo: FAILED: expected exit code $expected, got ${got:-none (the installer did not run)}" >&2
      failures=$((failures + 1))
    fi
  }

  run 0x00000000 "$win_build\\sample\\MorvaneSetup.exe" /U0 /L "c:\\Morvane Components"
  echo
  echo "The same package with one byte of its archive changed is refused (0x8040F001):"
  cp "$build/sample/MorvaneSetup.exe" "$build/sample/Tampered.exe"
  size=$(stat -c %s "$build/sample/Tampered.exe")
  printf "\\xff" | dd of="$build/sample/Tampered.exe" bs=1 seek=$((size - 200)) conv=notrunc status=none
  run 0x8040F001 "$win_build\\sample\\Tampered.exe" /U0
  echo
  echo "Installed into c:\\Morvane Components:"
  if [ -d "$target" ]; then
    (cd "$target" && find . -type f -printf "%10s  %p\n" | sort -k2)
  else
    echo "demo: FAILED: the installer made no folder c:\\Morvane Components" >&2
    failures=$((failures + 1))
  fi
  # Every file of the sample pack, and the log the run was asked for.
  for file in readme.txt help/grid.txt morvgrid.dll install.log; do
    if [ ! -f "$target/$file" ]; then
      echo "demo: FAILED: $file was not installed" >&2
      failures=$((failures + 1))
    fi
  done
  for file in readme.txt help/grid.txt; do
    if [ -f "$target/$file" ] && ! cmp -s "samples/morvane/files/$file" "$target/$file"; then
      echo "demo: FAILED: $file differs from the pack" >&2
      failures=$((failures + 1))
    fi
  done
  if [ -f "$target/install.log" ]; then
    echo
    echo "install.log:"
    tr -d "\r" <"$target/install.log"
  fi
  [ "$failures" = 0 ]'
set +e
echo
echo "Running $KEST_DEMO_BUILD/sample/MorvaneSetup.exe /U0 /L under Wine"
KEST_WINE_ARCH="$arch" scripts/with-wine.sh bash -c "$install_sample"
status=$?
if [ "$arch" = win64 ]; then
  echo
  echo "Running build/win32/sample/MorvaneSetup.exe /U0 /L under 32-bit Wine in the emulated machine"
  scripts/guest32.sh env KEST_WINE_ARCH=win32 KEST_DEMO_BUILD=build/win32 \
    scripts/with-wine.sh bash -c "$install_sample"
  guest_status=$?
  [ "$status" = 0 ] && status=$guest_status
fi
[ "$status" = 0 ] && echo "demo: done" || echo "demo: FAILED" >&2
exit "$status"
