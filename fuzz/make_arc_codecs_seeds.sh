#!/bin/sh
# Makes the seed corpus of fuzz_arc_codecs: the packed data of every entry
# of archives that arc writes (stored, packed, squeezed, crunched and, with
# its q option, squashed) and of the corpus's crushed PAK archive, each seed
# the method byte, a span byte, then the entry's data. The seeds are kept
# in the tree; run this again only to remake them.
#   fuzz/make_arc_codecs_seeds.sh [corpus folder]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
corpus=${1:-$here/../../shared/corpus}
out="$here/corpus/fuzz_arc_codecs"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
cd "$work"
python3 -c "
import random
r = random.Random(4)
words = [b'archive', b'folder', b'entry', b'block', b'code', b'\n']
open('text.txt', 'wb').write(b' '.join(r.choice(words) for _ in range(1500)))
open('runs.bin', 'wb').write(b''.join(bytes(r.randrange(256) for _ in range(20)) + bytes([r.randrange(256)]) * 90 for _ in range(40)))
s = bytearray()
while len(s) < 6000:
    k = 0
    while r.random() < 0.8 and k < 200: k += 1
    s.append(k)
open('skew.bin', 'wb').write(bytes(s))
open('dle.bin', 'wb').write(b'\x90' * 200 + b'x\x90\x90y' * 30)
"
arc a a.arc text.txt runs.bin skew.bin dle.bin >/dev/null
arc aq q.arc text.txt runs.bin skew.bin dle.bin >/dev/null
# Each entry of an ARC file as a seed named after the archive and entry.
python3 - "$out" a.arc q.arc "$corpus/ua-pak-license_crushed.pak" <<'PY'
import os, struct, sys
out = sys.argv[1]
for path in sys.argv[2:]:
    if not os.path.exists(path):
        continue
    d = open(path, 'rb').read()
    p, n = 0, 0
    while p + 2 <= len(d) and d[p] == 0x1A and d[p + 1] != 0:
        m = d[p + 1]
        size = struct.unpack_from('<I', d, p + 15)[0]
        h = 25 if m == 1 else 29
        base = os.path.basename(path).rsplit('.', 1)[0]
        open(os.path.join(out, '%s-%d-m%d.bin' % (base, n, m)), 'wb').write(bytes([m, n % 7]) + d[p + h:p + h + size][:30000])
        p += h + size
        n += 1
PY
