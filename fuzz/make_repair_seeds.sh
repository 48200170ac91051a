#!/bin/sh
# Makes the seed corpus of fuzz_repair: small archives (each under 4 KB)
# damaged the ways Repare meets - whole, cut inside the central directory,
# without end record, directory zeroed, data in front, entries with data
# descriptors, an entry cut short. The seeds are kept in the tree; run this
# again only to remake them.
#   fuzz/make_repair_seeds.sh            (from anywhere)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out="$here/corpus/fuzz_repair"
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
    z.writestr('a.txt', b'hello hello hello hello\n' * 4, zipfile.ZIP_DEFLATED)
    z.writestr('dir/', b'')
    z.writestr('dir/b.bin', bytes(range(200)), zipfile.ZIP_STORED)
    z.close()
    return buf.getvalue()

def cd_at(b):
    e = b.rfind(b'PK\x05\x06')
    return e, struct.unpack('<I', b[e + 16:e + 20])[0]

for name, stream in (('plain', False), ('descriptors', True)):
    b = make(stream)
    e, cd = cd_at(b)
    seeds = {
        'whole': b,
        'cut-directory': b[:(cd + e) // 2],
        'no-end-record': b[:e],
        'directory-zeroed': b[:cd] + bytes(e - cd) + b[e:],
        'data-in-front': b'MZ' + bytes(300) + b,
        'cut-last-entry': b[:cd - 20],
    }
    for k, v in seeds.items():
        open(f'{out}/{name}-{k}.zip', 'wb').write(v)
PY
