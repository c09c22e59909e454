#!/bin/bash
# Checks that a component DLL exports exactly the named entry points, by
# their plain names. The installer looks entry points up by name; a 32-bit
# __stdcall function exported without care is named DllRegisterServer@0 (or
# _DllRegisterServer@0), which the lookup never finds.
#   scripts/check-exports.sh OBJDUMP DLL [NAME...]
set -uo pipefail
objdump="$1"; dll="$2"; shift 2
headers="$("$objdump" -p "$dll")" || { echo "check-exports: cannot read $dll" >&2; exit 1; }
actual="$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^[[:space:]]*\[[[:space:]]*[0-9]*\] //p' \
          <<<"$headers" | sort | tr '\n' ' ')"
expected="$(printf '%s\n' "$@" | sed '/^$/d' | sort | tr '\n' ' ')"
if [ "$actual" != "$expected" ]; then
  echo "check-exports: $dll exports [ $actual] instead of [ $expected]" >&2
  exit 1
fi
