#!/usr/bin/env python3
"""Keeps the direction of dependencies between the source folders.

    check_layers.py [ROOT]

Reads every C and C++ source and header under the folders below (ROOT
defaults to the repository) and fails, naming file, line and include, when
a folder includes a project header from a folder it may not use. A source
folder missing from the table fails too, so a new folder must be placed in
a layer before it builds on anything.

The layers, bottom to top; a folder uses only what its row names:

    base, resources           codes, status, log, byte I/O, text; strings
    archive                   the installer's reader of untrusted packages
    packaging                 encoder and writer, for kestpack only
    manifest, verify          manifests; the signature check
    install, ui               install machinery; windows and dialogs
    installer                 the program: entry point, sequence, record
    tools/kestpack            beside the installer, on layers 1 and 2, and
                              the portable install rules (plan shows what
                              the installer's own decisions would do)
    sdk                       the public header for component authors, alone

Project includes are the quoted ones with a folder ("archive/crc32.h");
system headers and folder-less names (generated files in a resource
script) are not checked. tests/, fuzz/, bench/ and samples/ may use
anything and are not read.
"""

import os
import re
import sys

FORMATS_AND_CHECKS = {"base", "resources", "archive", "manifest", "verify"}
MAY_USE = {
    "resources": {"resources"},
    "base": {"base", "resources"},
    "archive": {"base", "archive"},
    "packaging": {"base", "archive", "packaging"},
    "manifest": {"base", "resources", "manifest"},
    "verify": {"base", "archive", "verify"},
    "install": FORMATS_AND_CHECKS | {"install"},
    "ui": FORMATS_AND_CHECKS | {"install", "ui"},
    "installer": FORMATS_AND_CHECKS | {"install", "ui", "installer"},
    "tools/kestpack": FORMATS_AND_CHECKS | {"install", "packaging", "tools/kestpack"},
    "sdk": {"sdk"},
}
NOT_CHECKED = {"tests", "fuzz", "bench", "samples", "build", "cmake", "scripts"}
SOURCE_SUFFIXES = (".h", ".hpp", ".c", ".cc", ".cpp", ".rc")
INCLUDE_RE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def folder_of(relative_path):
    """The table's name for the folder holding a file or include path."""
    parts = relative_path.split("/")
    if len(parts) >= 3 and "/".join(parts[:2]) in MAY_USE:
        return "/".join(parts[:2])
    return parts[0]


def check(root):
    faults = []
    for top in sorted(os.listdir(root)):
        if top.startswith(".") or top in NOT_CHECKED or not os.path.isdir(os.path.join(root, top)):
            continue
        for dirpath, dirnames, filenames in os.walk(os.path.join(root, top)):
            dirnames.sort()
            for name in sorted(filenames):
                if not name.endswith(SOURCE_SUFFIXES):
                    continue
                path = os.path.join(dirpath, name)
                relative = os.path.relpath(path, root).replace(os.sep, "/")
                folder = folder_of(relative)
                allowed = MAY_USE.get(folder)
                if allowed is None:
                    faults.append(f"{relative}: folder {folder}/ has no place in the layers")
                    continue
                with open(path, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE_RE.match(line)
                        if not m or "/" not in m.group(1):
                            continue
                        used = folder_of(m.group(1))
                        if used not in allowed:
                            faults.append(f"{relative}:{number}: {folder}/ may not include "
                                          f"\"{m.group(1)}\"")
    return faults


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    faults = check(os.path.abspath(root))
    for fault in faults:
        print(fault)
    if faults:
        print(f"check_layers: {len(faults)} include(s) against the direction of the layers")
        return 1
    print("check_layers: every include follows the layers")
    return 0


if __name__ == "__main__":
    sys.exit(main())
