#!/bin/bash
# Seeds for fuzz_manifest: manifests like the shipped ones and a few with
# every key and the faults the reader reports. The fuzz target puts the
# signature in front itself, chosen by the first byte: 0 "[Component",
# 1 "[Dependencies]", 2 none; so each seed is that byte and the rest of
# the text.
#   fuzz/seeds/manifest.sh OUT_FOLDER
set -euo pipefail
mkdir -p "$1"
out="$(cd "$1" && pwd)"  # the script may change folders
printf '\0001]\r\nName=Morvane Development\r\nProduct=Morvane Components Starter Pack\r\nVersion=1.1\r\nCopyright=None\r\n\r\n[ObsoleteFiles]\r\nchart\\help.hlp\r\ngrid\\tips.hlp\r\n' \
  > "$out/component"
printf '\001\r\n; comment\r\nRegistry=Software\\Morvane\\Morvane Components\\1.0:LocalInstallPath\r\nDefault=C:\\Morvane Components\\\r\n;OverwriteAlways = 1\r\n' \
  > "$out/dependency"
printf '\001\nFile1= %%W\\A.DLL \nVersion1=4.0 1\nFile2=x\tVersion2=-1.70000\nSource=  SETUP : -s \nPlatform= WIN_95\n[Extra]\nRegistry= Key  :Value  \nOverwriteAlways = 1\nColour=red\nDefault\nFile3=\n' \
  > "$out/dependency-keys"
printf '\000X]\n\tName =a\f[obsoletefiles]\vProduct=b\n[ObsoleteFiles]\n a=b \n[ObsoleteFiles]\nc\n[Component2]\n/Name=x\nName\n' \
  > "$out/component-sections"
printf '\002[Component1]\r\nName=plain text\r\n' > "$out/unsigned"
