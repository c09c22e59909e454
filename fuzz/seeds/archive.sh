#!/bin/bash
# Seeds for fuzz_archive: small archives made by Debian's arj with methods
# 0 to 3, of text, binary, run-length and repetitive inputs, one or several
# files each.
#   fuzz/seeds/archive.sh OUT_FOLDER
set -euo pipefail
mkdir -p "$1"
out="$(cd "$1" && pwd)"  # the script may change folders
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir Sub
seq 1 400 | sed 's/$/ the package installer component/' > Text.TXT
head -c 3000 /bin/ls > Sub/binary.bin
awk 'BEGIN { for (i = 0; i < 60; i++) { for (j = 0; j < i * 7 % 50; j++) printf "%c", 65 + i % 26 } }' > runs.dat
for i in 1 2 3 4 5 6 7 8; do printf 'Morvane Components, file %d of the grid control\n' "$i"; done > Sub/Phrases.txt
printf 'a' > one.txt
: > empty.txt
for m in 0 1 2 3; do
  arj a -m"$m" -y "m$m-all.arj" Text.TXT Sub/binary.bin runs.dat Sub/Phrases.txt one.txt empty.txt >/dev/null
  arj a -m"$m" -y "m$m-text.arj" Text.TXT >/dev/null
  cp "m$m-all.arj" "m$m-text.arj" "$out/"
done
