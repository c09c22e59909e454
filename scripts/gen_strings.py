#!/usr/bin/env python3
"""Turns resources/strings.txt into the three forms the build needs.

    gen_strings.py STRINGS_TXT OUT_DIR

writes into OUT_DIR:
    string_ids.h     #define IDS_... <id>, for C++ and for the resource compiler
    string_table.rc  the STRINGTABLE block (includes string_ids.h)
    string_data.cpp  the portable id -> text table behind resources/string_table.h

A file is rewritten only when its contents change, so an unchanged table
does not rebuild its users. The input format is described at the top of
strings.txt; any line that breaks it stops the build with file:line and
the reason.
"""

import os
import re
import sys

MAX_ID = 65535
MAX_CHARS = 1023
NAME_RE = re.compile(r"IDS_[A-Z0-9_]+\Z")
LINE_RE = re.compile(r"(\d+)\s+(\S+)\s+(\".*\")\s*\Z")
ESCAPES = {"\\": "\\", '"': '"', "r": "\r", "n": "\n", "t": "\t"}


class TableError(Exception):
    pass


def decode_text(quoted):
    """The text between the outer quotes, escapes resolved."""
    body = quoted[1:-1]
    out = []
    i = 0
    while i < len(body):
        c = body[i]
        if c == "\\":
            if i + 1 >= len(body) or body[i + 1] not in ESCAPES:
                raise TableError("unknown escape %r" % body[i:i + 2])
            out.append(ESCAPES[body[i + 1]])
            i += 2
            continue
        if c == '"':
            raise TableError('a double quote inside the text must be written \\"')
        if not " " <= c <= "~":
            raise TableError("character %r is not printable ASCII" % c)
        out.append(c)
        i += 1
    return "".join(out)


def parse(path):
    """Returns [(id, name, text)] sorted by id."""
    entries = []
    ids = {}
    names = {}
    # Latin-1 decodes every byte, so a stray one is reported with its line.
    with open(path, encoding="latin-1", newline="") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\r\n")
            where = "%s:%d" % (path, number)
            if not line.strip() or line.lstrip().startswith("#"):
                continue
            try:
                m = LINE_RE.match(line)
                if not m:
                    raise TableError('expected: <id> <NAME> "<text>"')
                sid, name, text = int(m.group(1)), m.group(2), decode_text(m.group(3))
                if not 1 <= sid <= MAX_ID:
                    raise TableError("id %d outside 1..%d" % (sid, MAX_ID))
                if not NAME_RE.match(name):
                    raise TableError("name %r is not IDS_ followed by A-Z, 0-9, _" % name)
                if sid in ids:
                    raise TableError("id %d already used at line %d" % (sid, ids[sid]))
                if name in names:
                    raise TableError("name %s already used at line %d" % (name, names[name]))
                if not text:
                    raise TableError("empty text (an empty string resource does not exist)")
                if len(text) > MAX_CHARS:
                    raise TableError("text of %d characters, at most %d" % (len(text), MAX_CHARS))
            except TableError as e:
                raise TableError("%s: %s" % (where, e))
            ids[sid] = number
            names[name] = number
            entries.append((sid, name, text))
    if not entries:
        raise TableError("%s: no strings" % path)
    return sorted(entries)


# The resource compiler doubles a quote and takes C escapes. A lone
# backslash before an unknown letter would only draw a warning, but one
# before the closing quote would swallow it, so every backslash is doubled.
RC_ESCAPES = {"\\": "\\\\", '"': '""', "\r": "\\r", "\n": "\\n", "\t": "\\t"}
# C++: "?" is escaped so that no "??x" can ever be read as a trigraph.
CPP_ESCAPES = {"\\": "\\\\", '"': '\\"', "\r": "\\r", "\n": "\\n", "\t": "\\t",
               "?": "\\?"}


def quoted(text, escapes):
    return '"' + "".join(escapes.get(c, c) for c in text) + '"'


HEADER = "Generated from resources/strings.txt by scripts/gen_strings.py; do not edit."


def ids_header(entries):
    width = max(len(name) for _, name, _ in entries)
    lines = ["/* %s */" % HEADER,
             "#ifndef KEST_RESOURCES_STRING_IDS_H",
             "#define KEST_RESOURCES_STRING_IDS_H",
             ""]
    lines += ["#define %-*s %d" % (width, name, sid) for sid, name, _ in entries]
    lines += ["", "#endif", ""]
    return "\n".join(lines)


def string_table_rc(entries):
    lines = ["/* %s */" % HEADER,
             '#include "string_ids.h"',
             "",
             "STRINGTABLE",
             "BEGIN"]
    lines += ["  %s, %s" % (name, quoted(text, RC_ESCAPES)) for _, name, text in entries]
    lines += ["END", ""]
    return "\n".join(lines)


def string_data_cpp(entries):
    lines = ["// %s" % HEADER,
             '#include "resources/string_table.h"',
             "",
             "namespace kest {",
             "",
             "// Ascending by id.",
             "const StringEntry kStringEntries[] = {"]
    lines += ["    {%d, %s}," % (sid, quoted(text, CPP_ESCAPES)) for sid, _, text in entries]
    lines += ["};",
              "const size_t kStringEntryCount = sizeof(kStringEntries) / sizeof(kStringEntries[0]);",
              "",
              "}  // namespace kest",
              ""]
    return "\n".join(lines)


def write_if_changed(path, text):
    data = text.encode("ascii")
    try:
        with open(path, "rb") as f:
            if f.read() == data:
                return
    except OSError:
        pass
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, path)


def main(argv):
    if len(argv) != 3:
        sys.stderr.write("usage: gen_strings.py STRINGS_TXT OUT_DIR\n")
        return 2
    try:
        entries = parse(argv[1])
    except (TableError, OSError) as e:
        sys.stderr.write("gen_strings.py: %s\n" % e)
        return 1
    os.makedirs(argv[2], exist_ok=True)
    write_if_changed(os.path.join(argv[2], "string_ids.h"), ids_header(entries))
    write_if_changed(os.path.join(argv[2], "string_table.rc"), string_table_rc(entries))
    write_if_changed(os.path.join(argv[2], "string_data.cpp"), string_data_cpp(entries))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
