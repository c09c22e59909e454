#!/bin/bash
# Seeds for fuzz_decoder: the packed data of every compressed entry of the
# archive seeds, each behind its original size in the 18-bit form the
# target reads (in three bytes, little-endian).
#   fuzz/seeds/decoder.sh OUT_FOLDER
set -euo pipefail
mkdir -p "$1"
out="$(cd "$1" && pwd)"  # the script may change folders
archives="$(mktemp -d)"
trap 'rm -rf "$archives"' EXIT
bash "$(dirname "$0")/archive.sh" "$archives"
python3 - "$archives" "$out" <<'PY'
import os, struct, sys

def headers(data):
    """Yields (offset of the fixed part, fixed part, offset after the chain).
    The main header has no data unless its original size is set."""
    at = 0
    first = True
    while at + 4 <= len(data):
        hid, b = struct.unpack_from('<HH', data, at)
        if hid != 0xEA60 or b == 0:
            return
        fixed = at + 4
        at = fixed + b + 4
        while True:
            (ext,) = struct.unpack_from('<H', data, at)
            at += 2
            if ext == 0:
                break
            at += ext + 4
        yield fixed, data[fixed:fixed + 30], at
        packed = struct.unpack_from('<I', data, fixed + 12)[0]
        original = struct.unpack_from('<I', data, fixed + 16)[0]
        if not first or original:
            at += packed
        first = False

src, dst = sys.argv[1], sys.argv[2]
for name in sorted(os.listdir(src)):
    data = open(os.path.join(src, name), 'rb').read()
    for n, (fixed, f, data_at) in enumerate(headers(data)):
        method, packed, original = f[5], *struct.unpack_from('<II', f, 12)
        if method in (1, 2, 3) and original < (1 << 18):
            size = struct.pack('<I', original)[:3]
            with open(os.path.join(dst, '%s-%d' % (name, n)), 'wb') as seed:
                seed.write(size + data[data_at:data_at + packed])
PY
