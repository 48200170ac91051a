#!/bin/sh
# Makes the seed corpus of fuzz_unzip_files: small archives (each under 4 KB)
# of the shapes extraction meets - stored, deflated, folders, an encrypted
# entry (password "a", the one the target tries), data descriptors, names
# that try to leave the destination, a damaged CRC, an entry that runs past
# its declared size. The seeds are kept in the tree; run this again only to
# remake them.
#   fuzz/make_extract_seeds.sh            (from anywhere)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
out="$here/corpus/fuzz_unzip_files"
mkdir -p "$out"

mkdir -p "$work/src/docs/sub"
printf 'read me\n' > "$work/src/docs/readme.txt"
printf 'hello hello hello hello hello hello\n' > "$work/src/hello.txt"
printf 'deep\n' > "$work/src/docs/sub/deep.txt"
(cd "$work/src" && zip -q -X -0 -r "$out/stored-folders.zip" .)
(cd "$work/src" && zip -q -X -9 -r "$out/deflated-folders.zip" .)
(cd "$work/src" && zip -q -X -e -P a "$out/encrypted.zip" hello.txt)

python3 - "$out" <<'PY'
import io, os, struct, sys, zipfile
out = sys.argv[1]

class Pipe:
    def __init__(self, f): self.f = f
    def write(self, b): return self.f.write(b)
    def flush(self): pass

with open(os.path.join(out, 'descriptors.zip'), 'wb') as f:
    with zipfile.ZipFile(Pipe(f), 'w', zipfile.ZIP_DEFLATED) as z:
        z.writestr('a.txt', 'abc' * 100)
        z.writestr('dir/b.txt', 'b')

with zipfile.ZipFile(os.path.join(out, 'hostile-names.zip'), 'w') as z:
    for n in ['../evil', '/abs', 'C:\\x', 'a/../../b', '../', 'x:y']:
        i = zipfile.ZipInfo('x'); i.filename = n; z.writestr(i, n)

buf = io.BytesIO()
with zipfile.ZipFile(buf, 'w', zipfile.ZIP_DEFLATED) as z:
    z.writestr('big.txt', 'x' * 3000)
    z.writestr('bad.txt', 'crc')
d = bytearray(buf.getvalue())
p = d.find(b'PK\x03\x04'); d[p + 22:p + 26] = struct.pack('<I', 100)   # runs past its size
p = d.find(b'PK\x01\x02'); d[p + 24:p + 28] = struct.pack('<I', 100)
p = d.find(b'PK\x03\x04', 30); d[p + 14:p + 18] = b'\0\0\0\0'          # damaged CRC
open(os.path.join(out, 'damaged.zip'), 'wb').write(bytes(d))
PY

ls -l "$out"
