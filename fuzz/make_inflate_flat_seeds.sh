#!/bin/sh
# Makes the seed corpus of fuzz_inflate_flat (each seed under 8 KB): deflate
# streams from python3's zlib (levels, strategies, a flushed stream) and the
# first deflate64 entry of the sample archives, each behind an option byte
# (see fuzz_inflate_flat.cpp). The seeds are kept in the tree; run this
# again only to remake them.
#   fuzz/make_inflate_flat_seeds.sh [CORPUS_DIR]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
corpus=${1:-$here/../../shared/corpus}
python3 - "$here/corpus/fuzz_inflate_flat" "$corpus" <<'PY'
import os, struct, sys, zlib
out, corpus = sys.argv[1], sys.argv[2]
os.makedirs(out, exist_ok=True)
def save(name, option, data):
    open(os.path.join(out, name), "wb").write(bytes([option]) + data)

text = b"".join(b"%d flat %s buffer, " % (i, b"deflate" if i % 3 else b"inflate") for i in range(200))
binary = bytes((i * 7 + (i >> 4)) & 0xFF for i in range(3000))
def deflate(data, level=6, strategy=zlib.Z_DEFAULT_STRATEGY):
    c = zlib.compressobj(level, zlib.DEFLATED, -15, 8, strategy)
    return c.compress(data) + c.flush()
save("stored.bin", 0x00, deflate(text[:600], 0))
save("fixed.bin", 0x00, deflate(text, 6, zlib.Z_FIXED))
save("dynamic.bin", 0x00, deflate(text, 9))
save("dynamic-short-buffer.bin", 0x10, deflate(text * 2, 9))
save("huffman-only-small-spans.bin", 0x01, deflate(binary, 6, zlib.Z_HUFFMAN_ONLY))
save("rle.bin", 0x04, deflate(b"a" * 5000 + binary[:500], 6, zlib.Z_RLE))
c = zlib.compressobj(1, zlib.DEFLATED, -15)
save("flushed.bin", 0x05, c.compress(text[:1000]) + c.flush(zlib.Z_SYNC_FLUSH) + c.compress(binary[:1000]) + c.flush())
# A deflate64 stream read as deflate64 and as plain deflate.
path = os.path.join(corpus, "cc-lorem-ipsum-deflate64.zip")
if os.path.exists(path):
    d = open(path, "rb").read()
    i = d.find(b"PK\x03\x04")
    csize = struct.unpack_from("<I", d, i + 18)[0]
    nlen, elen = struct.unpack_from("<HH", d, i + 26)
    data = d[i + 30 + nlen + elen:i + 30 + nlen + elen + csize][:7000]
    save("deflate64-lorem.bin", 0x08, data)
    save("deflate64-lorem-as-deflate.bin", 0x00, data)
PY
ls -l "$here/corpus/fuzz_inflate_flat"
