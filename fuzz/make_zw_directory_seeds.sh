#!/bin/sh
# Makes the seeds of fuzz_zw_directory: each seed is a two-byte cut (0: one
# file) and the archive bytes. Zip64 forced by python3 (bzip2, LZMA,
# deflate), deflate64 and XZ by 7zz, a split set of two disks (both
# parts behind their cut), a hand-made archive with Zstandard as 93 and 20, sizes
# only in the local Zip64 block and data descriptors.
#   fuzz/make_zw_directory_seeds.sh OUT_FOLDER
set -eu
out=${1:?output folder}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
cd "$work"
seq 1 3000 > text.txt
printf 'small\n' > small.txt
whole() { printf '\000\000' > "$out/$2.seed" && cat "$1" >> "$out/$2.seed"; }
python3 - <<'PY'
import struct, subprocess, zipfile, zlib
with zipfile.ZipFile('zip64.zip', 'w') as z:
    for i, kind in enumerate([zipfile.ZIP_BZIP2, zipfile.ZIP_LZMA, zipfile.ZIP_DEFLATED]):
        info = zipfile.ZipInfo('f%d.txt' % i)
        info.compress_type = kind
        with z.open(info, 'w', force_zip64=True) as f:
            f.write(open('text.txt', 'rb').read()[: 2000 * (i + 1)])
text = open('text.txt', 'rb').read()[:3000]
def zstd(b):
    try:
        return subprocess.run(['zstd', '-q', '-c'], input=b, capture_output=True, check=True).stdout
    except Exception:
        return b''
c = zlib.compressobj(9, zlib.DEFLATED, -15)
deflated = c.compress(text) + c.flush()
rows = [(b'z93', 93, zstd(text), 0), (b'z20', 20, zstd(text), 0), (b'l64', 8, deflated, 1), (b'dd', 8, deflated, 2)]
out, cent = bytearray(), bytearray()
for name, method, comp, kind in rows:
    crc, off = zlib.crc32(text), len(out)
    lx = struct.pack('<HHQQ', 1, 16, len(text), len(comp)) if kind == 1 else b''
    ls = (0xFFFFFFFF, 0xFFFFFFFF) if kind == 1 else (0, 0) if kind == 2 else (len(comp), len(text))
    flags = 8 if kind == 2 else 0
    out += struct.pack('<IHHHHHIIIHH', 0x04034b50, 45, flags, method, 0, 0x21, crc, ls[0], ls[1], len(name), len(lx))
    out += name + lx + comp
    if kind == 2: out += struct.pack('<IIQQ', 0x08074b50, crc, len(comp), len(text))
    cs = (0xFFFFFFFF, 0xFFFFFFFF) if kind == 1 else (len(comp), len(text))
    cent += struct.pack('<IHHHHHHIIIHHHHHII', 0x02014b50, 45, 45, flags, method, 0, 0x21, crc, cs[0], cs[1],
                        len(name), 0, 0, 0, 0, 0, off) + name
at = len(out)
out += cent + struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, len(rows), len(rows), len(cent), at, 0)
open('hand.zip', 'wb').write(out)
# A split set of two disks: one entry on each, the directory on the second.
def local(name, data):
    return struct.pack('<IHHHHHIIIHH', 0x04034b50, 20, 0, 0, 0, 0x21, zlib.crc32(data), len(data), len(data),
                       len(name), 0) + name + data
def central(name, data, disk, off):
    return struct.pack('<IHHHHHHIIIHHHHHII', 0x02014b50, 20, 20, 0, 0, 0, 0x21, zlib.crc32(data), len(data),
                       len(data), len(name), 0, 0, disk, 0, 0, off) + name
one = b'PK\x07\x08' + local(b'a.txt', text[:500])
two = local(b'b.txt', text[500:900])
cent = central(b'a.txt', text[:500], 0, 4) + central(b'b.txt', text[500:900], 1, 0)
two += cent + struct.pack('<IHHHHIIH', 0x06054b50, 1, 1, 1, 2, len(cent), len(two), 0)
open('split.seed', 'wb').write(struct.pack('<H', len(one)) + one + two)
PY
cp split.seed "$out/split.seed"
whole zip64.zip zip64
whole hand.zip hand
if command -v 7zz >/dev/null; then
  7zz a -bd -tzip -mm=Deflate64 d64.zip text.txt small.txt >/dev/null && whole d64.zip deflate64
  7zz a -bd -tzip -mm=XZ xz.zip text.txt >/dev/null && whole xz.zip xz
fi
