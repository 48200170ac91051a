#!/bin/sh
# Makes the seed corpus of fuzz_zw_update: small archives (each under 2 KB)
# of the shapes an update meets - plain, with data descriptors, with a
# comment, with bytes in front whose offsets were not adjusted, empty, and
# with Zip64 fields and end records (stream and forced). The
# seeds are kept in the tree; run this again only to remake them.
#   fuzz/make_zw_update_seeds.sh            (from anywhere)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out="$here/corpus/fuzz_zw_update"
mkdir -p "$out"
python3 - "$out" <<'PY'
import io, sys, zipfile
out = sys.argv[1]

class Pipe:
    def __init__(self, f): self.f = f
    def write(self, b): return self.f.write(b)
    def flush(self): pass

def make(stream=False, comment=b'', zip64=False):
    buf = io.BytesIO()
    z = zipfile.ZipFile(Pipe(buf) if stream else buf, 'w')
    if zip64:
        # Zip64 fields in both headers; the end records follow from them.
        with z.open('a.txt', 'w', force_zip64=True) as w:
            w.write(b'hello hello hello hello\n' * 20)
    else:
        z.writestr('a.txt', b'hello hello hello hello\n' * 20, zipfile.ZIP_DEFLATED)
    z.writestr('dir/', b'')
    z.writestr('dir/b.bin', bytes(range(200)), zipfile.ZIP_STORED)
    z.comment = comment
    z.close()
    return buf.getvalue()

seeds = {
    'plain.zip': make(),
    'descriptors.zip': make(stream=True),
    'comment.zip': make(comment=b'an archive comment'),
    'prefix.zip': b'MZ' + bytes(100) + make(),
    'empty.zip': b'PK\x05\x06' + bytes(18),
    'zip64.zip': make(zip64=True),
    'zip64-stream.zip': make(stream=True, zip64=True),
}
for name, data in seeds.items():
    with open(f'{out}/{name}', 'wb') as f:
        f.write(data)
PY
