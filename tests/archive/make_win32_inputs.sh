#!/bin/bash
# Inputs for the Win32 reader test, made on the build machine by Debian's
# arj before the test runs under Wine: about 3 MB of mixed data (text,
# random bytes, byte runs) packed with method 1 as big.arj, next to the
# original big.bin.
#   make_win32_inputs.sh OUT_FOLDER
set -euo pipefail
out="$1"
mkdir -p "$out"
cd "$out"
rm -f big.arj big.bin
{
  seq 1 60000 | sed 's/$/ Morvane Components grid control, file entry/'
  head -c 400000 /dev/urandom
  awk 'BEGIN { for (i = 0; i < 3000; i++) { c = sprintf("%c", 33 + i % 90); for (j = 0; j < i % 200; j++) printf "%s", c } }'
} > big.bin
arj a -m1 -y big.arj big.bin >/dev/null
