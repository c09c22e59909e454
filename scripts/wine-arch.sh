#!/bin/bash
# Prints which Windows build the Wine tests run on this machine:
#   win32  the machine runs 32-bit x86 code: the shipped 32-bit build under
#          32-bit Wine, in a 32-bit prefix;
#   win64  it does not (the kernel refuses any 32-bit code): the same sources
#          built for x86-64 Windows, under 64-bit Wine in a 64-bit prefix.
# KEST_WINE_ARCH=win32|win64 forces the choice (win64 works everywhere; win32
# fails where 32-bit code cannot run).
set -u
case "${KEST_WINE_ARCH:-}" in
  win32|win64) echo "$KEST_WINE_ARCH"; exit 0 ;;
  "") ;;
  *) echo "wine-arch: KEST_WINE_ARCH must be win32 or win64" >&2; exit 2 ;;
esac
# The 32-bit Wine loader is a 32-bit Linux program: where 32-bit code is
# refused it fails at once with "Exec format error".
if /usr/lib/wine/wine --version >/dev/null 2>&1; then echo win32; else echo win64; fi
