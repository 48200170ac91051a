#!/bin/sh
# Makes the seed corpus of fuzz_lha_codecs: the packed data of the entries
# of archives jlha writes (lh5, lh6, lh7, stored) and of the corpus's LZH,
# LArc and ZOO archives (lh1, lh5, lh7, lz5, ZOO's LZW), each seed the
# method byte, a span byte, the declared size (3 bytes), then the data.
# The seeds are kept in the tree; run this again only to remake them.
# The pm1-*/pm2-* seeds are kept in the tree too, made by the tests' encoders.
#   fuzz/make_lha_codecs_seeds.sh [corpus folder]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
corpus=${1:-$here/../../shared/corpus}
out="$here/corpus/fuzz_lha_codecs"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
cd "$work"
python3 -c "
import random
r = random.Random(6)
words = [b'archive', b'folder', b'entry', b'block', b'code', b'\n']
open('text.txt', 'wb').write(b' '.join(r.choice(words) for _ in range(3000)))
open('runs.bin', 'wb').write(b''.join(bytes(r.randrange(256) for _ in range(20)) + bytes([r.randrange(256)]) * 90 for _ in range(40)))
"
for m in 5 6 7; do jlha a2o$m lh$m.lzh text.txt runs.bin >/dev/null; done
jlha a2z lh0.lzh runs.bin >/dev/null
python3 - "$out" lh5.lzh lh6.lzh lh7.lzh lh0.lzh "$corpus"/lh-*.lz? "$corpus"/la-*.lzh "$corpus/ua-zoo-default.zoo" <<'PY'
import os, struct, sys
ids = [b'-lh0-', b'-lh1-', b'-lh3-', b'-lh4-', b'-lh5-', b'-lh6-', b'-lh7-', b'-lhx-', b'-lzs-', b'-lz4-', b'-lz5-', b'-pm0-']
out = sys.argv[1]
def seed(name, method, size, data):
    open(os.path.join(out, name), 'wb').write(bytes([method, len(data) % 7]) + struct.pack('<I', size)[:3] + data[:30000])
for path in sys.argv[2:]:
    if not os.path.exists(path):
        continue
    d = open(path, 'rb').read()
    base = os.path.basename(path).rsplit('.', 1)[0]
    if d[:3] == b'ZOO':
        p = struct.unpack_from('<I', d, 24)[0]
        n = 0
        while p + 56 <= len(d):
            nxt, at = struct.unpack_from('<II', d, p + 6)
            if nxt == 0:
                break
            size, packed = struct.unpack_from('<II', d, p + 20)
            if d[p + 5] in (1, 2):  # LZW is the target's method 12, lh5 its 4
                seed('%s-%d.bin' % (base, n), 12 if d[p + 5] == 1 else 4, size, d[at:at + packed])
            p, n = nxt, n + 1
        continue
    p, n = 0, 0
    while p + 22 <= len(d) and d[p] != 0:
        level = d[p + 20]
        method = d[p + 2:p + 7]
        packed, size = struct.unpack_from('<II', d, p + 7)
        if level == 2:
            start = p + struct.unpack_from('<H', d, p)[0]
        elif level == 1:
            start = p + d[p] + 2
            ext = struct.unpack_from('<H', d, start - 2)[0]
            while ext:
                start += ext
                packed -= ext
                ext = struct.unpack_from('<H', d, start - 2)[0]
        else:
            start = p + d[p] + 2
        if method in ids:
            seed('%s-%d-%s.bin' % (base, n, method[1:4].decode()), ids.index(method), size, d[start:start + packed])
        p, n = start + packed, n + 1
PY
