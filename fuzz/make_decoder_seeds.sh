#!/bin/sh
# Makes the seed corpora of the decoder fuzz targets (each seed under 8 KB):
# deflate streams from python3's zlib (levels, strategies, a flushed stream)
# with an option byte in front, and pieces of the shrunk, reduced and
# imploded entries of the sample archives with their parameter header (see
# each fuzz_<name>.cpp for the header). The seeds are kept in the tree; run
# this again only to remake them.
#   fuzz/make_decoder_seeds.sh [CORPUS_DIR]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
corpus=${1:-$here/../../shared/corpus}
python3 - "$here/corpus" "$corpus" <<'PY'
import os, struct, sys, zlib
out, corpus = sys.argv[1], sys.argv[2]
def save(target, name, data):
    os.makedirs(os.path.join(out, target), exist_ok=True)
    open(os.path.join(out, target, name), "wb").write(data)

text = b"".join(b"%d window %s block, " % (i, b"deflate" if i % 3 else b"inflate") for i in range(200))
binary = bytes((i * 7 + (i >> 4)) & 0xFF for i in range(3000))
def deflate(data, level=6, strategy=zlib.Z_DEFAULT_STRATEGY):
    c = zlib.compressobj(level, zlib.DEFLATED, -15, 8, strategy)
    return c.compress(data) + c.flush()
save("fuzz_inflate", "stored.bin", b"\x00" + deflate(text[:600], 0))
save("fuzz_inflate", "fixed.bin", b"\x00" + deflate(text, 6, zlib.Z_FIXED))
save("fuzz_inflate", "dynamic.bin", b"\x00" + deflate(text, 9))
save("fuzz_inflate", "huffman-only-small-spans.bin", b"\x01" + deflate(binary, 6, zlib.Z_HUFFMAN_ONLY))
save("fuzz_inflate", "rle-limited.bin", b"\x0C" + deflate(b"a" * 5000 + binary[:500], 6, zlib.Z_RLE))
c = zlib.compressobj(1, zlib.DEFLATED, -15)
flushed = c.compress(text[:1000]) + c.flush(zlib.Z_SYNC_FLUSH) + c.compress(binary[:1000]) + c.flush()
save("fuzz_inflate", "flushed.bin", b"\x05" + flushed)

# Local headers of the legacy methods in the sample archives.
def entries(path):
    d = open(path, "rb").read()
    i = d.find(b"PK\x03\x04")
    while 0 <= i and i + 30 <= len(d):
        flags, method = struct.unpack_from("<HH", d, i + 6)
        csize, usize, nlen, elen = struct.unpack_from("<IIHH", d, i + 18)
        start = i + 30 + nlen + elen
        yield method, flags, usize, d[start:start + csize], d[i + 30:i + 30 + nlen].decode("latin-1")
        i = d.find(b"PK\x03\x04", start + csize)
size3 = lambda n: struct.pack("<I", n)[:3]
for name in ["sc-Zip.shrink.zip", "sc-Zip.reduce1.zip", "sc-Zip.reduce2.zip", "sc-Zip.reduce3.zip",
             "sc-Zip.reduce4.zip", "cc-imploding-4Kdict-2trees.zip"]:
    path = os.path.join(corpus, name)
    if not os.path.exists(path):
        continue
    for method, flags, usize, data, entry in entries(path):
        piece = data[:6000]  # a whole small entry, or the first part of a larger one
        tag = "%s-%s.bin" % (name[:-4], entry.replace("/", "_"))
        if method == 1 and name == "sc-Zip.shrink.zip":
            save("fuzz_unshrink", tag, size3(usize) + b"\x00" + piece)
        elif 2 <= method <= 5 and entry == "TEST.EXE":
            save("fuzz_unreduce", tag, bytes([method - 2]) + size3(usize) + piece)
        elif method == 6:
            save("fuzz_explode", tag, bytes([flags & 6]) + size3(usize) + piece)
            save("fuzz_explode", "8k-3trees-" + tag, bytes([6]) + size3(usize) + piece)
PY
ls -l "$here"/corpus/fuzz_inflate "$here"/corpus/fuzz_unshrink "$here"/corpus/fuzz_unreduce "$here"/corpus/fuzz_explode
