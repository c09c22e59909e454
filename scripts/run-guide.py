#!/usr/bin/env python3
"""Runs a guide's commands exactly as the document writes them.

    scripts/run-guide.py DOC.md [WORK_FOLDER]

The document's fenced blocks are taken in order:
  ```sh              a block of commands; all of them run as one bash
                     script (set -euo pipefail), so a variable set in one
                     block holds in the next
  ```LANG FILE       a file the reader is asked to write (widget.c): it is
                     written to FILE in the work folder before the commands run
Any other block (output shown to the reader) is left alone.

The commands run in WORK_FOLDER (default: a new temporary folder, removed
afterwards) with KEST set to this checkout, as the guide asks of its
reader. The exit status is the script's; a guide without commands fails.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

FENCE = re.compile(r"^```(\S*)\s*(\S*)\s*$")


def blocks(text):
    """(info words, body) of each fenced block, in document order."""
    lines = text.splitlines(keepends=True)
    i = 0
    while i < len(lines):
        m = FENCE.match(lines[i])
        if not m or not m.group(1):
            i += 1
            continue
        body = []
        i += 1
        while i < len(lines) and not lines[i].startswith("```"):
            body.append(lines[i])
            i += 1
        if i == len(lines):
            sys.exit("run-guide: a block that opens with %r never closes" % m.group(0).strip())
        i += 1
        yield m.group(1), m.group(2), "".join(body)


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    doc = sys.argv[1]
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    with open(doc, encoding="utf-8") as f:
        text = f.read()
    script = ["set -euo pipefail\n"]
    files = []
    for language, name, body in blocks(text):
        if language == "sh" and not name:
            script.append(body)
        elif name:
            if os.path.isabs(name) or ".." in name.split("/"):
                sys.exit("run-guide: file block %r must name a file below the work folder" % name)
            files.append((name, body))
    if len(script) == 1:
        sys.exit("run-guide: %s has no ```sh block" % doc)
    work = sys.argv[2] if len(sys.argv) == 3 else tempfile.mkdtemp(prefix="kest-guide-")
    os.makedirs(work, exist_ok=True)
    try:
        for name, body in files:
            path = os.path.join(work, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w", encoding="utf-8") as f:
                f.write(body)
        env = dict(os.environ, KEST=root)
        return subprocess.run(["bash", "-c", "".join(script)], cwd=work, env=env).returncode
    finally:
        if len(sys.argv) == 2:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
