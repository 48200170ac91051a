#!/bin/sh
# Makes the seed corpus of fuzz_zw_fix: small archives (each under 4 KB)
# damaged the ways the thorough fix meets - whole, cut inside the last
# entry, garbage between entries, a compressed size too small and too
# large, a local header wiped, entries with data descriptors, an encrypted-
# looking entry, data in front. The seeds are kept in the tree; run this
# again only to remake them.
#   fuzz/make_zw_fix_seeds.sh            (from anywhere)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out="$here/corpus/fuzz_zw_fix"
mkdir -p "$out"
python3 - "$out" <<'PY'
import io, struct, sys, zipfile
out = sys.argv[1]

class Pipe:
    def __init__(self, f): self.f = f
    def write(self, b): return self.f.write(b)
    def flush(self): pass

def make(stream=False):
    buf = io.BytesIO()
    z = zipfile.ZipFile(Pipe(buf) if stream else buf, 'w')
    z.writestr('a.txt', b'hello hello hello hello\n' * 20, zipfile.ZIP_DEFLATED)
    z.writestr('dir/', b'')
    z.writestr('dir/b.bin', bytes(range(200)), zipfile.ZIP_STORED)
    z.writestr('c.txt', b'the third entry, deflated ' * 10, zipfile.ZIP_DEFLATED)
    z.close()
    return buf.getvalue()

def locals_of(b):
    out, i = [], 0
    while True:
        i = b.find(b'PK\x03\x04', i)
        if i < 0: return out
        out.append(i); i += 4

for name, stream in (('plain', False), ('descriptors', True)):
    b = make(stream)
    e = b.rfind(b'PK\x05\x06')
    cd = struct.unpack('<I', b[e + 16:e + 20])[0]
    lh = locals_of(b[:cd])
    small = bytearray(b); struct.pack_into('<I', small, lh[0] + 18, max(0, struct.unpack_from('<I', b, lh[0] + 18)[0] - 9))
    large = bytearray(b); struct.pack_into('<I', large, lh[0] + 18, struct.unpack_from('<I', b, lh[0] + 18)[0] + lh[2] - lh[1])
    wiped = bytearray(b); wiped[lh[2]:lh[2] + 30] = bytes(30)
    flagged = bytearray(b); struct.pack_into('<H', flagged, lh[3] + 6, struct.unpack_from('<H', b, lh[3] + 6)[0] | 1)
    seeds = {
        'whole': b,
        'cut-last-entry': b[:lh[3] + 40],
        'garbage-between': b[:lh[2]] + b'\x11' * 97 + b[lh[2]:],
        'size-too-small': bytes(small),
        'size-too-large': bytes(large),
        'header-wiped': bytes(wiped),
        'encrypted-flag': bytes(flagged),
        'data-in-front': b'MZ' + bytes(300) + b[:cd],
    }
    for k, v in seeds.items():
        open(f'{out}/{name}-{k}.zip', 'wb').write(v)
PY
