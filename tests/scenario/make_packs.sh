#!/bin/bash
# Builds the scenario tests' small packs with kestpack into signed
# installers, on the installer of this Windows build:
#   make_packs.sh KESTPACK STUB KEY OUT PROBE_FOLDER OLD_DLL NEW_DLL USER_DLL HELPER_DLL
# PROBE_FOLDER holds the recording components probe_<name>.dll.
# OUT/<pack>.exe for each pack below. Every pack names its files and
# manifests here, so a reader sees at once what a scenario installs.
set -euo pipefail
kestpack="$1" stub="$2" key="$3" out="$4" probes="$5" old_dll="$6" new_dll="$7"
user_dll="$8" helper_dll="$9"
if [ ! -x "$kestpack" ]; then
  echo "make_packs: no kestpack at $kestpack; run scripts/build.sh host first" >&2
  exit 1
fi
rm -rf "$out"
mkdir -p "$out"
work="$out/work"

# pack NAME DATE: stages $work/NAME/files (filled by the caller) with the
# manifests $work/NAME/CPACK.INI and CPACK.INF, all dated DATE, into
# OUT/NAME.exe. The date makes the file-time decisions of a scenario fixed.
pack() {
  local name="$1" date="$2"
  find "$work/$name" -exec touch -d "$date" {} +
  "$kestpack" build ${keep_faults:-} -o "$out/$name.exe" --stub "$stub" --key "$key" \
    --components "$work/$name/CPACK.INI" --dependencies "$work/$name/CPACK.INF" \
    "$work/$name/files" >/dev/null
}
stage() {  # stage NAME: an empty pack folder, echoes its files folder
  mkdir -p "$work/$1/files"
  echo "$work/$1/files"
}
components() {  # components NAME VERSION [OBSOLETE...]
  local name="$1" version="$2"; shift 2
  {
    printf '[Component1]\r\nName=Kest Scenario\r\nProduct=Kest Scenario Pack\r\n'
    printf 'Version=%s\r\nCopyright=None\r\n' "$version"
    if [ $# -gt 0 ]; then
      printf '\r\n[ObsoleteFiles]\r\n'
      for file in "$@"; do printf '%s\r\n' "$file"; done
    fi
  } >"$work/$name/CPACK.INI"
}
dependencies() {  # dependencies NAME LINES...
  local name="$1"; shift
  { printf '[Dependencies]\r\n'; for line in "$@"; do printf '%s\r\n' "$line"; done; } \
    >"$work/$name/CPACK.INF"
}
earlier=(
  'Registry=Software\KestScenario\Pack:LocalInstallPath'
  'Default=C:\Kest Scenario\')

# release2: the pack of most scenarios. A text in the destination and one
# in a sub-folder, a versioned library, a library for the system folder,
# one for the host product's folder, and the recording component, which
# registers itself.
files="$(stage release2)"
printf 'Kest Scenario, release 2\r\n' >"$files/readme.txt"
mkdir -p "$files/docs"
printf 'The guide, release 2\r\n' >"$files/docs/guide.txt"
cp "$new_dll" "$files/shared.dll"
mkdir -p "$files/_winsys" "$files/_scriba"
cp "$new_dll" "$files/_winsys/kestscen.dll"
printf 'for the host product\r\n' >"$files/_scriba/addin.txt"
cp "$probes/probe_full.dll" "$files/probe.dll"
components release2 2.0 'old\gone.txt' 'old\never-there.txt'
dependencies release2 "${earlier[@]}"
pack release2 2026-06-01T12:00:00Z

# release1: the release before: older texts, an older library, and a file
# that release2 lists as obsolete.
files="$(stage release1)"
printf 'Kest Scenario, release 1\r\n' >"$files/readme.txt"
cp "$old_dll" "$files/shared.dll"
mkdir -p "$files/old"
printf 'left behind by release 1\r\n' >"$files/old/gone.txt"
components release1 1.0
dependencies release1 "${earlier[@]}"
pack release1 2025-06-01T12:00:00Z

# child: a pack of its own, installed as the prerequisite of parent.
files="$(stage child)"
printf 'installed by the prerequisite\r\n' >"$files/child.txt"
components child 1.0
dependencies child
pack child 2026-06-01T12:00:00Z

# parent: needs child.txt in version 1.0 or later; while it is missing
# (version 0.0.0.0) the prerequisite child.exe, beside the installer, runs.
files="$(stage parent)"
printf 'installed by the parent\r\n' >"$files/parent.txt"
components parent 1.0
dependencies parent "${earlier[@]}" 'File1=child.txt' 'Version1=1.0' 'Source=child.exe'
pack parent 2026-06-01T12:00:00Z

# obsolete: obsolete-file lines that could reach outside the destination
# (kept with --keep-manifest-faults, which kestpack otherwise refuses)
# among good ones; the installer reports and skips each bad one.
files="$(stage obsolete)"
printf 'the obsolete pack\r\n' >"$files/readme.txt"
components obsolete 1.0 '..\victim.txt' 'old/kept.txt' 'old\gone.txt'
dependencies obsolete
keep_faults=--keep-manifest-faults pack obsolete 2026-06-01T12:00:00Z

# parent-cut: parent with the header after its manifests spoiled (one byte
# of the name parent.txt, so its check sum fails) and signed again with the
# same key: a package whose reading stops right after the manifests.
python3 - "$out/parent.exe" "$out/parent-cut.exe" "$out/signed.bin" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
record = data.rindex(b"RuvxSig\0") - 136  # the second marker ends the 144-byte record
name = data.index(b"parent.txt\0", 0, record)
data[name + 5] ^= 0x01
open(sys.argv[2], "wb").write(data)
open(sys.argv[3], "wb").write(data[:record])
PY
openssl dgst -md5 -sign "$key" -out "$out/signature.bin" "$out/signed.bin"
python3 - "$out/parent-cut.exe" "$out/signature.bin" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
signature = open(sys.argv[2], "rb").read()
assert len(signature) == 96
record = data.rindex(b"RuvxSig\0") - 136
data[record + 40:record + 136] = signature
open(sys.argv[1], "wb").write(data)
PY
rm "$out/signed.bin" "$out/signature.bin"

# windows: the component that lists the installer's windows while it
# registers, behind one whose registration fails (a report in a silent run).
files="$(stage windows)"
cp "$probes/probe_failing.dll" "$files/a-failing.dll"
cp "$probes/probe_windows.dll" "$files/b-windows.dll"
components windows 1.0
dependencies windows
pack windows 2026-06-01T12:00:00Z

# sibling: a component that needs a library shipped beside it.
files="$(stage sibling)"
cp "$user_dll" "$files/sibling_user.dll"
cp "$helper_dll" "$files/sibling_helper.dll"
components sibling 1.0
dependencies sibling
pack sibling 2026-06-01T12:00:00Z

# spill: two files of 300 KiB that do not compress, behind a small one;
# on a drive of 512 KiB the second big one does not fit.
files="$(stage spill)"
printf 'first\r\n' >"$files/a-first.txt"
python3 -c 'import random, sys; sys.stdout.buffer.write(random.Random(1).randbytes(300 << 10))' \
  >"$files/b-big.bin"
python3 -c 'import random, sys; sys.stdout.buffer.write(random.Random(2).randbytes(300 << 10))' \
  >"$files/c-big.bin"
components spill 1.0
dependencies spill
pack spill 2026-06-01T12:00:00Z
mkdir -p "$out/spill-files"
cp "$files/a-first.txt" "$files/b-big.bin" "$out/spill-files/"

# plan: the pack whose installs kestpack plan foretells (plan_agrees.py):
# a versioned library for the destination and one for the system folder,
# a text without version, an obsolete file, and a prerequisite (the child
# pack, beside it) that runs while dep.dll is older than 1.10.
files="$(stage plan)"
printf 'Kest Plan, the text\r\n' >"$files/readme.txt"
cp "$new_dll" "$files/lib.dll"
mkdir -p "$files/_winsys"
cp "$new_dll" "$files/_winsys/kestplan.dll"
components plan 1.0 'old\gone.txt'
dependencies plan 'Default=C:\Kest Plan\' 'File1=dep.dll' 'Version1=1.10' 'Source=child.exe'
pack plan 2026-06-01T12:00:00Z

# nodeps: a dependency file without the [Dependencies] header (kestpack
# refuses it unless told to keep manifest faults): no dependency record, so
# nothing clears the start-up warnings before the installation.
files="$(stage nodeps)"
printf 'installed without dependencies\r\n' >"$files/nodeps.txt"
components nodeps 1.0
printf '; nothing needed\r\n' >"$work/nodeps/CPACK.INF"
keep_faults=--keep-manifest-faults pack nodeps 2026-06-01T12:00:00Z 2>/dev/null

# retry: the recording component, then a file in a sub-folder; a file of
# the sub-folder's name in the destination makes the second entry fail.
files="$(stage retry)"
cp "$probes/probe_full.dll" "$files/a.dll"
mkdir -p "$files/zsub"
printf 'the second file\r\n' >"$files/zsub/b.txt"
components retry 1.0
dependencies retry
pack retry 2026-06-01T12:00:00Z

rm -rf "$work"
ls "$out"
