#!/bin/sh
# Makes the seed corpus of fuzz_reader_codecs with the peer tools: .Z
# streams from compress (-b9, -b12, -b16), gzip files (a named member, two
# members), a CAB folder's records from gcab (stored and MSZIP) and TAR
# headers from tar (ustar, gnu and pax with long names and links). Each
# seed is the decoder byte, a span byte, then the decoder's input. The
# seeds are kept in the tree; run this again only to remake them.
#   fuzz/make_reader_codecs_seeds.sh
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out="$here/corpus/fuzz_reader_codecs"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
cd "$work"
python3 -c "
import random
r = random.Random(4)
words = [b'archive', b'folder', b'entry', b'block', b'code', b'\n']
open('text', 'wb').write(b' '.join(r.choice(words) for _ in range(1500)))
open('runs', 'wb').write(b'a' * 2000 + b'ab' * 700 + bytes(r.randrange(256) for _ in range(300)))
"
seed() { { printf "$1"; cat "$3"; } > "$out/$2"; }
compress -c -b9 runs > runs9.Z || true
compress -c -b12 text > text12.Z
compress -c -b16 text > text16.Z
seed '\000\000' lzw-runs-b9.bin runs9.Z
seed '\000\001' lzw-text-b12.bin text12.Z
seed '\000\004' lzw-text-b16.bin text16.Z
gzip -c -N text > text.gz
gzip -c -n runs > runs.gz
cat text.gz runs.gz > two.gz
seed '\001\000' gzip-named.bin text.gz
seed '\001\003' gzip-two-members.bin two.gz
# A folder's records: the parameter bytes, then the CFDATA records.
folder() {
  python3 - "$1" "$2" <<'PY'
import struct, sys
d = open(sys.argv[1], 'rb').read()
off, count, method = struct.unpack_from('<IHH', d, 36)
flags = (1 if method == 1 else 0) | 2
open(sys.argv[2], 'wb').write(bytes([flags, count, 0]) + d[off:])
PY
}
cp text text2 && cp runs runs2
gcab -c s.cab text runs
gcab -c -z z.cab text runs text2 runs2
folder s.cab s.rec
folder z.cab z.rec
seed '\002\000' cab-stored.bin s.rec
seed '\002\005' cab-mszip.bin z.rec
mkdir -p t/$(printf 'd%.0s' $(seq 1 80))
cp text "t/$(printf 'd%.0s' $(seq 1 80))/$(printf 'n%.0s' $(seq 1 120))"
ln -s "$(printf 'l%.0s' $(seq 1 130))" t/link
cp runs t/runs2
ln t/runs2 t/hard
for f in ustar gnu pax; do
  tar --format=$f -cf $f.tar t 2>/dev/null || true
  seed '\003\000' tar-$f.bin $f.tar
done
ls "$out"
