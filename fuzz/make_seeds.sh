#!/bin/sh
# Makes the seed corpora of the fuzz targets: a few small archives (each
# under 4 KB) of the shapes the readers meet, written by zip and python3's
# zipfile. The seeds are kept in the tree; run this again only to remake them.
#   fuzz/make_seeds.sh            (from anywhere)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
out="$here/corpus/fuzz_directory_reader"
mkdir -p "$out" "$here/corpus/fuzz_catalogue"

mkdir -p "$work/src/docs"
printf 'read me\n' > "$work/src/docs/readme.txt"
printf 'hello hello hello hello hello hello\n' > "$work/src/hello.txt"
(cd "$work/src" && zip -q -X -0 "$out/stored.zip" hello.txt docs/readme.txt)
(cd "$work/src" && zip -q -X -9 -r "$out/deflated-folders.zip" docs hello.txt)
printf 'an archive comment\n' | (cd "$work/src" && zip -q -X -z "$out/commented.zip" hello.txt)
printf 'streamed' | zip -q -X -fz- - - | cat > "$out/descriptor.zip"

python3 - "$out" <<'PY'
import os, sys, zipfile
out = sys.argv[1]

def save(name, entries, comment=b'', compression=zipfile.ZIP_STORED):
    with zipfile.ZipFile(os.path.join(out, name), 'w', compression) as z:
        for info, data in entries:
            z.writestr(info, data)
        z.comment = comment

i = zipfile.ZipInfo('Dir/File.txt'); i.comment = b'entry comment'; i.create_system = 11
j = zipfile.ZipInfo('other.bin'); j.extra = b'\x99\x99\x02\x00ab'; j.create_system = 14
save('python-comments.zip', [(i, 'abc' * 20), (j, bytes(range(40)))], b'archive', zipfile.ZIP_DEFLATED)
save('long-name.zip', [(zipfile.ZipInfo('d/' + 'n' * 1498), 'x')])
save('empty.zip', [], b'only an end record')

# A self-extractor shape: bytes in front, offsets not adjusted.
with open(os.path.join(out, 'stored.zip'), 'rb') as f:
    body = f.read()
with open(os.path.join(out, 'prefixed.zip'), 'wb') as f:
    f.write(b'MZ' + b'\x90' * 254 + body)
PY

# The catalogue loader starts from the same shapes.
cp "$out"/*.zip "$here/corpus/fuzz_catalogue/"
ls -l "$out"
