#!/usr/bin/env python3
"""kestpack plan against the real installer, row by row.

    plan_agrees.py KESTPACK PACKS EXITCODE_EXE WINE NEW_DLL OLD_DLL SECOND_DLL LATER_DLL

Runs inside scripts/with-wine.sh (WINEPREFIX set). For each row of the
table a target machine is set up in the prefix's drive_c: the pack
"plan" (make_packs.sh) installs into C:\\Kest Plan, its default folder.
The row says what stands there before the install and what every step
must do, in the words of the rules:

  versioned entry    replaced when its version is newer than or equal to
                     the disk file's; in the system folder only when newer
  unversioned entry  replaced when its date is later than or equal to the
                     disk file's; a missing file is always written
  read-only file     to be replaced: the user is asked; a silent run ends
                     with 0x8040F014 and the file stays
  obsolete file      removed when present
  prerequisite       runs when dep.dll is missing or older than 1.10

kestpack plan --json must say exactly that, and a silent install
(/U0 /L) must then do exactly that: each file written holds the pack's
bytes, each file kept its own, the obsolete file is gone, and the child
pack's child.txt exists only when the prerequisite ran.
"""
import json
import os
import shutil
import stat
import subprocess
import sys
import calendar
import time

kestpack, packs, exitcode_exe, wine, new_dll, old_dll, second_dll, later_dll = sys.argv[1:9]
prefix = os.environ.get("WINEPREFIX", "")
if not prefix or not os.path.isdir(prefix):
    sys.exit("plan_agrees: run inside scripts/with-wine.sh (no WINEPREFIX)")
drive = os.path.join(prefix, "drive_c")
dest = os.path.join(drive, "Kest Plan")
system_file = os.path.join(drive, "windows", "system32", "kestplan.dll")
installer = os.path.join(packs, "plan.exe")


def read(path):
    with open(path, "rb") as f:
        return f.read()


def seconds(text):
    return calendar.timegm(time.strptime(text, "%Y-%m-%dT%H:%M:%S"))


PACK_TIME = seconds("2026-06-01T12:00:00")
# What make_packs.sh put into the pack: the text, and kest_version_new
# (1.10.0.0) as both libraries.
README = b"Kest Plan, the text\r\n"
PACK_LIB = read(new_dll)
# Libraries of other versions: 1.9.65535.65535, 1.10.0.0 with other
# bytes, 2.0.0.0.
LIB_VERSIONS = {"old": old_dll, "second": second_dll, "later": later_dll}


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def place(path, data, when=PACK_TIME, read_only=False):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    os.utime(path, (when, when))
    if read_only:
        os.chmod(path, stat.S_IRUSR | stat.S_IRGRP | stat.S_IROTH)


def clean():
    if os.path.isdir(dest):
        for root, dirs, files in os.walk(dest):
            for name in files:
                os.chmod(os.path.join(root, name), 0o644)
        shutil.rmtree(dest)
    if os.path.exists(system_file):
        os.remove(system_file)


# Each row: name; setup (what stands on the machine: a library version for
# lib.dll and the system folder's kestplan.dll, readme.txt's date and
# read-only flag, the obsolete file, dep.dll's version); the actions
# expected of the three files, of the obsolete file and of the
# prerequisite; the install's exit code.
ROWS = [
    ("missing", dict(dep=None),
     {"lib.dll": "new", "_winsys\\kestplan.dll": "new", "readme.txt": "new"},
     "absent", "run", 0),
    ("older", dict(lib="old", system="old"),
     {"lib.dll": "replace", "_winsys\\kestplan.dll": "replace", "readme.txt": "new"},
     "absent", "none", 0),
    ("equal", dict(lib="second", system="second"),
     {"lib.dll": "replace", "_winsys\\kestplan.dll": "keep", "readme.txt": "new"},
     "absent", "none", 0),
    ("newer", dict(lib="later", system="later"),
     {"lib.dll": "keep", "_winsys\\kestplan.dll": "keep", "readme.txt": "new"},
     "absent", "none", 0),
    ("unversioned older", dict(readme="2025-06-01T12:00:00"),
     {"lib.dll": "new", "_winsys\\kestplan.dll": "new", "readme.txt": "replace"},
     "absent", "none", 0),
    ("unversioned same date", dict(readme="2026-06-01T12:00:00"),
     {"lib.dll": "new", "_winsys\\kestplan.dll": "new", "readme.txt": "replace"},
     "absent", "none", 0),
    ("unversioned newer", dict(readme="2027-01-01T00:00:00"),
     {"lib.dll": "new", "_winsys\\kestplan.dll": "new", "readme.txt": "keep"},
     "absent", "none", 0),
    # readme.txt is the last entry, so the others are written before the stop.
    ("read-only", dict(readme="2025-06-01T12:00:00", read_only=True),
     {"lib.dll": "new", "_winsys\\kestplan.dll": "new", "readme.txt": "ask"},
     "absent", "none", 0x8040F014),
    ("obsolete file present", dict(obsolete=True),
     {"lib.dll": "new", "_winsys\\kestplan.dll": "new", "readme.txt": "new"},
     "remove", "none", 0),
    ("dependency file older", dict(dep="old"),
     {"lib.dll": "new", "_winsys\\kestplan.dll": "new", "readme.txt": "new"},
     "absent", "run", 0),
]

TARGETS = {
    "lib.dll": os.path.join(dest, "lib.dll"),
    "_winsys\\kestplan.dll": system_file,
    "readme.txt": os.path.join(dest, "readme.txt"),
}


def set_up(setup):
    if setup.get("lib"):
        place(TARGETS["lib.dll"], read(LIB_VERSIONS[setup["lib"]]))
    if setup.get("system"):
        place(system_file, read(LIB_VERSIONS[setup["system"]]))
    if setup.get("readme"):
        place(TARGETS["readme.txt"], b"the user's own text\r\n", seconds(setup["readme"]),
              setup.get("read_only", False))
    if setup.get("obsolete"):
        place(os.path.join(dest, "old", "gone.txt"), b"left behind\r\n")
    dep = setup.get("dep", "second")  # by default dep.dll is new enough
    if dep:
        place(os.path.join(dest, "dep.dll"), read(LIB_VERSIONS[dep]))


def run_install():
    out = subprocess.run([wine, exitcode_exe, windows_path(installer), "/U0", "/L"],
                         capture_output=True, text=True, timeout=300)
    for line in out.stdout.splitlines():
        if line.startswith("exit code 0x"):
            return int(line.split()[-1], 16)
    raise AssertionError("no exit code from the installer run: %r %r" % (out.stdout, out.stderr))


failures = []


def check(row, what, got, want):
    if got != want:
        failures.append("%s: %s: got %r, want %r" % (row, what, got, want))


try:
    for name, setup, files, obsolete, prerequisite, code in ROWS:
        clean()
        set_up(setup)
        before = {entry: read(path) if os.path.exists(path) else None
                  for entry, path in TARGETS.items()}
        gone = os.path.join(dest, "old", "gone.txt")
        plan_run = subprocess.run([kestpack, "plan", installer, "--target", drive, "--json"],
                                  capture_output=True, text=True)
        if plan_run.returncode != 0:
            failures.append("%s: kestpack plan failed: %s" % (name, plan_run.stderr))
            continue
        plan = json.loads(plan_run.stdout)
        planned = {f["name"]: f for f in plan["files"]}
        for entry, action in files.items():
            check(name, "plan for " + entry, planned.get(entry, {}).get("action"), action)
            check(name, "plan's target of " + entry, planned.get(entry, {}).get("target"),
                  TARGETS[entry])
        check(name, "plan for old\\gone.txt",
              [o["action"] for o in plan["obsolete"]], [obsolete])
        check(name, "plan for the prerequisite",
              [p["action"] for p in plan["prerequisites"]], [prerequisite])
        check(name, "plan's silent stop", plan["silent_stop"],
              "readme.txt" if code == 0x8040F014 else None)

        check(name, "exit code", "0x%08X" % run_install(), "0x%08X" % code)
        for entry, action in files.items():
            path = TARGETS[entry]
            after = read(path) if os.path.exists(path) else None
            if action in ("keep", "ask"):
                check(name, entry + " kept", after == before[entry], True)
            else:
                want = README if entry == "readme.txt" else PACK_LIB
                check(name, entry + " written", after == want and after is not None, True)
        check(name, "obsolete file there after the install", os.path.exists(gone), False)
        check(name, "prerequisite ran", os.path.exists(os.path.join(dest, "child.txt")),
              prerequisite == "run")
        print("%-24s plan and install agree" % name if not any(
            f.startswith(name + ":") for f in failures) else "%-24s DIFFER" % name)
finally:
    clean()

for f in failures:
    print("FAIL " + f)
sys.exit(1 if failures else 0)
