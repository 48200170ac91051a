#!/bin/sh
# Makes the seed corpus of fuzz_zw_methods: small entries of each method
# (bzip2, LZMA with the ZIP's header, Zstandard, xz) and AES entries with the
# password "fuzz" around some of them, written by 7zz and python3 (bz2,
# lzma; zstd through the zstd program when it is there), each behind the
# 6-byte header that fuzz_zw_methods.cpp reads. The seeds are kept in the
# tree; run this again only to remake them.
#   fuzz/make_zw_methods_seeds.sh
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
out="$here/corpus/fuzz_zw_methods"
mkdir -p "$out"
python3 - "$out" "$work" <<'PY'
import bz2, lzma, os, shutil, struct, subprocess, sys
out, work = sys.argv[1], sys.argv[2]
text = b"".join(b"seed line %d of the modern methods\n" % i for i in range(60)) + bytes(range(256))
def save(name, choice, flags, data, size=len(text), chunk=0):
    head = bytes([choice, flags]) + struct.pack("<I", size)[:3] + bytes([chunk])
    open(os.path.join(out, name), "wb").write(head + data)
# liblzma's raw LZMA1 encoder always ends the stream with the marker.
def zip_lzma(data):
    filters = [{"id": lzma.FILTER_LZMA1, "dict_size": 1 << 16}]
    raw = lzma.compress(data, format=lzma.FORMAT_RAW, filters=filters)
    props = lzma._encode_filter_properties(filters[0])
    return bytes([9, 20]) + struct.pack("<H", len(props)) + props + raw
save("bzip2.bin", 0, 0, bz2.compress(text, 9))
save("bzip2-bytewise.bin", 0, 0, bz2.compress(text, 1), chunk=1)
save("lzma-end-marker.bin", 1, 2, zip_lzma(text))
# The same stream taken as ending at its size (the marker then optional).
save("lzma-size-known.bin", 1, 0, zip_lzma(text), chunk=1)
save("xz.bin", 3, 0, lzma.compress(text, format=lzma.FORMAT_XZ, preset=1))
save("xz-sha256.bin", 3, 0, lzma.compress(text, format=lzma.FORMAT_XZ, check=lzma.CHECK_SHA256), chunk=2)
if shutil.which("zstd"):
    src = os.path.join(work, "t.txt")
    open(src, "wb").write(text)
    z = subprocess.run(["zstd", "-q", "-c", "--check", src], capture_output=True, check=True).stdout
    save("zstd.bin", 2, 0, z)
    save("zstd-small-spans.bin", 2, 0, z + z, size=2 * len(text), chunk=3)
# AES entries from 7zz: deflate, bzip2, LZMA inside, each key strength.
open(os.path.join(work, "a.txt"), "wb").write(text)
def aes(name, method, mem, choice):
    z = os.path.join(work, name + ".zip")
    subprocess.run(["7zz", "a", "-tzip", "-mm=" + method, "-mem=" + mem, "-pfuzz", z, "a.txt"],
                   cwd=work, check=True, stdout=subprocess.DEVNULL)
    b = open(z, "rb").read()
    flags, = struct.unpack_from("<H", b, 6)
    csize, = struct.unpack_from("<I", b, 18)
    n, e = struct.unpack_from("<HH", b, 26)
    save(name + ".bin", choice, flags, b[30 + n + e: 30 + n + e + csize])
# choice: (strength - 1) * 5 + inner, where inner is 4 for deflate, 0 for
# bzip2, 1 for LZMA.
aes("aes128-deflate", "Deflate", "AES128", 4)
aes("aes192-bzip2", "BZip2", "AES192", 5)
aes("aes256-lzma", "LZMA", "AES256", 11)
PY
