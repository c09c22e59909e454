#!/bin/bash
# Runs the file copy's disk-full tests on a Wine drive that is a small
# tmpfs of their own:
#   disk_full.sh WINE TEST_PROGRAM
# inside the Wine environment of scripts/with-wine.sh (WINEPREFIX set).
#
# The tmpfs is mounted in a private mount namespace (unshare), so no other
# process ever sees it and the kernel removes it when the last process in
# the namespace ends, however the run ends: a CI run cannot leave a mount
# behind. Wine opens files in its server process as well, so the server
# must live in that namespace too: the test runs in a copy of the prefix,
# which gets a wineserver of its own there, stopped with `wineserver -k`
# at the end. The drive is K:, and the test program finds it through
# KEST_FULL_DRIVE. Mounting needs root, as scripts/test.sh runs.
set -eu
if [ "${1:-}" != --inside ]; then
  if [ -z "${WINEPREFIX:-}" ] || [ ! -d "$WINEPREFIX" ]; then
    echo "disk_full: run inside scripts/with-wine.sh (no WINEPREFIX)" >&2
    exit 2
  fi
  exec unshare --mount --propagation private -- bash "$0" --inside "$@"
fi
shift
wine="$1"
program="$2"

prefix="$(mktemp -d /dev/shm/kest-full-prefix.XXXXXX)"
drive="$prefix/full-drive"
cleanup() {
  WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
  WINEPREFIX="$prefix" wineserver -w >/dev/null 2>&1 || true
  umount "$drive" 2>/dev/null || true
  rm -rf "$prefix"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

cp -a "$WINEPREFIX/." "$prefix/"
mkdir -p "$drive"
mount -t tmpfs -o size=512k,mode=0755 kest-full-drive "$drive"
ln -sfn "$drive" "$prefix/dosdevices/k:"
KEST_FULL_DRIVE=K: WINEPREFIX="$prefix" "$wine" "$program" --gtest_filter='DiskFull.*'
