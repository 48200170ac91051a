#!/bin/sh
# Makes the seed corpus of fuzz_delete_with_mask: the catalogue loader's
# seeds, plus small archives with the shapes a rewrite meets (folders, a
# data descriptor, entry and archive comments, extra fields, a prefix with
# adjusted offsets), written by zip and python3's zipfile. The seeds are
# kept in the tree; run this again only to remake them.
#   fuzz/make_writer_seeds.sh            (from anywhere)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out="$here/corpus/fuzz_delete_with_mask"
mkdir -p "$out"
cp "$here"/corpus/fuzz_catalogue/*.zip "$out/"
python3 - "$out" <<'PY'
import os, sys, zipfile
out = sys.argv[1]
with zipfile.ZipFile(os.path.join(out, 'mixed.zip'), 'w', zipfile.ZIP_DEFLATED) as z:
    z.writestr('DIR/', b'')
    z.writestr('DIR/A.TXT', b'alpha ' * 20)
    i = zipfile.ZipInfo('docs/readme.txt'); i.comment = b'note'; i.extra = b'\x99\x99\x02\x00ab'
    z.writestr(i, b'read me')
    z.writestr('B.DOC', b'b' * 50)
    z.comment = b'archive comment'
with open(os.path.join(out, 'mixed.zip'), 'rb') as f:
    body = f.read()
# The same archive behind a 64-byte stub, its offsets adjusted (updatable).
import struct
stub = b'S' * 64
data = bytearray(body)
end = data.rfind(b'PK\x05\x06')
count, size, offset = struct.unpack_from('<HII', data, end + 10)
pos = offset
for _ in range(count):
    rel = struct.unpack_from('<I', data, pos + 42)[0]
    struct.pack_into('<I', data, pos + 42, rel + len(stub))
    n, m, k = struct.unpack_from('<HHH', data, pos + 28)
    pos += 46 + n + m + k
struct.pack_into('<I', data, end + 16, offset + len(stub))
with open(os.path.join(out, 'stub-adjusted.zip'), 'wb') as f:
    f.write(stub + bytes(data))
PY
ls -l "$out"
