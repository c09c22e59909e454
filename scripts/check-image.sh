#!/bin/bash
# Checks the shipped installer image without running it, so that it is
# checked on every machine, including those that cannot run 32-bit code:
#   - a PE32 image for i386, a GUI program;
#   - subsystem and OS version 4.0 (Windows 95 and NT 4.0 refuse newer);
#   - it imports from KERNEL32, USER32 and GDI32 only: every other system
#     library is loaded at run time from the system folder;
#   - its size is within the limit, and the figure is printed.
#   scripts/check-image.sh [IMAGE]      (default build/win32/kestinst.exe)
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
image="${1:-$root/build/win32/kestinst.exe}"
limit=158720
allowed="GDI32.dll KERNEL32.dll USER32.dll"

if [ ! -f "$image" ]; then echo "check-image: $image is missing" >&2; exit 1; fi
headers="$(i686-w64-mingw32-objdump -p "$image" 2>&1)" || {
  echo "check-image: $image is not a 32-bit x86 PE image" >&2; exit 1; }

failures=0
expect() {  # expect DESCRIPTION EXTENDED-REGEX
  if grep -Eq "$2" <<<"$headers"; then echo "  ok    $1"
  else echo "  FAIL  $1"; failures=$((failures + 1)); fi
}
echo "check-image: $image"
expect "PE32 image for i386" 'file format pei-i386'
expect "PE32 optional header" '^Magic[[:space:]]+010b'
expect "GUI subsystem" '^Subsystem[[:space:]]+00000002'
expect "OS version 4.0" '^MajorOSystemVersion[[:space:]]+4$'
expect "OS version 4.0 (minor)" '^MinorOSystemVersion[[:space:]]+0$'
expect "subsystem version 4.0" '^MajorSubsystemVersion[[:space:]]+4$'
expect "subsystem version 4.0 (minor)" '^MinorSubsystemVersion[[:space:]]+0$'

imports="$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | sort -u | tr '\n' ' ')"
unexpected=""
for dll in $imports; do
  case " $allowed " in *" $dll "*) ;; *) unexpected+="$dll " ;; esac
done
if [ -z "$unexpected" ]; then echo "  ok    imports: $imports"
else echo "  FAIL  imports beyond $allowed: $unexpected"; failures=$((failures + 1)); fi

size=$(stat -c %s "$image")
if [ "$size" -le "$limit" ]; then echo "  ok    size $size bytes (limit $limit, $((limit - size)) to spare)"
else echo "  FAIL  size $size bytes exceeds the limit of $limit"; failures=$((failures + 1)); fi

[ "$failures" = 0 ]
