#!/bin/sh
# Makes the seed corpus of fuzz_sfx_config: small self-extractor-shaped
# files (a 64-byte stand-in stub, an 852-byte configuration block, then an
# archive made by zip) with the archive's offsets shifted to the whole file
# and left as they are, an encrypted one, one with a folder entry, and an
# archive of zero entries. The seeds are kept in the tree; run this again
# only to remake them.
#   fuzz/make_sfx_seeds.sh
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 - "$here/corpus/fuzz_sfx_config" "$work" <<'PY'
import os, struct, subprocess, sys
out, work = sys.argv[1], sys.argv[2]
os.makedirs(out, exist_ok=True)
stub = b"SEEDSTUB" * 8
def block(mode=b"2", ask=b"1"):
    b = bytearray(b" " * 852)
    b[0:1] = mode; b[1:2] = ask
    b[2:12] = b"Seed title"
    return bytes(b)
def shift(z, by):
    z = bytearray(z)
    end = z.rfind(b"PK\x05\x06")
    n, size, off = struct.unpack_from("<HII", z, end + 10)
    pos = off
    for _ in range(n):
        lo, = struct.unpack_from("<I", z, pos + 42)
        struct.pack_into("<I", z, pos + 42, lo + by)
        nl, xl, cl = struct.unpack_from("<HHH", z, pos + 28)
        pos += 46 + nl + xl + cl
    struct.pack_into("<I", z, end + 16, off + by)
    return bytes(z)
os.makedirs(os.path.join(work, "d/sub"))
open(os.path.join(work, "d/a.txt"), "wb").write(b"seed text\n" * 30)
open(os.path.join(work, "d/sub/b.txt"), "wb").write(b"b" * 100)
def zipped(name, *args):
    z = os.path.join(work, name)
    subprocess.run(["zip", "-q"] + list(args) + [z, "a.txt", "sub/", "sub/b.txt"], cwd=os.path.join(work, "d"), check=True)
    return open(z, "rb").read()
plain = zipped("p.zip", "-9")
stored = zipped("s.zip", "-0")
secret = zipped("e.zip", "-P", "x")
for name, z, mode in (("deflated", plain, b"1"), ("stored", stored, b"0"), ("encrypted", secret, b"2")):
    open(os.path.join(out, name + "-shifted.bin"), "wb").write(stub + block(mode) + shift(z, len(stub) + 852))
    open(os.path.join(out, name + "-unshifted.bin"), "wb").write(stub + block(mode) + z)
empty = b"PK\x05\x06" + b"\0" * 18
open(os.path.join(out, "empty.bin"), "wb").write(stub + block() + empty)
PY
