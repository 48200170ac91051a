#!/bin/sh
# Makes the seed corpus of fuzz_arj_codecs with arj: the first entry's
# packed data of archives made with methods 1 to 4 (text and runs), one
# garbled with the password "fuzz", each behind the target's five header
# bytes (method, span / modifier, original size). The seeds are kept in
# the tree; run this again only to remake them.
#   fuzz/make_arj_codecs_seeds.sh
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out="$here/corpus/fuzz_arj_codecs"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
cd "$work"
python3 -c "
import random
r = random.Random(5)
words = [b'archive', b'folder', b'entry', b'block', b'code', b'\n']
open('text', 'wb').write(b' '.join(r.choice(words) for _ in range(2500)))
open('runs', 'wb').write(b'a' * 3000 + b'ab' * 900 + bytes(r.randrange(256) for _ in range(400)))
"
for m in 1 2 3 4; do
  arj a -m$m -y text$m.arj text >/dev/null
  arj a -m$m -y runs$m.arj runs >/dev/null
done
arj a -m1 -gfuzz -y garbled.arj text >/dev/null
python3 - "$out" <<'PY'
import struct, sys
out = sys.argv[1]
def first_entry(path):
    d = open(path, 'rb').read()
    p = 0
    for header in range(2):
        basic = struct.unpack_from('<H', d, p + 2)[0]
        fields = p + 4
        p = fields + basic + 4
        while True:
            ext = struct.unpack_from('<H', d, p)[0]
            p += 2
            if ext == 0:
                break
            p += ext + 4
    flags, method, modifier = d[fields + 4], d[fields + 5], d[fields + 7]
    packed, original = struct.unpack_from('<II', d, fields + 12)
    return flags, method, modifier, original, d[p:p + packed]
def seed(name, path, span):
    flags, method, modifier, original, data = first_entry(path)
    pick = method + 4 if flags & 1 else method
    if flags & 1:
        span = modifier
    open(out + '/' + name, 'wb').write(bytes([pick, span]) + struct.pack('<I', original)[:3] + data)
for m in range(1, 5):
    seed('text-m%d.bin' % m, 'text%d.arj' % m, 0)
    seed('runs-m%d.bin' % m, 'runs%d.arj' % m, 4)
seed('garbled-m1.bin', 'garbled.arj', 0)
PY
