#!/bin/sh
# Makes the seed corpus of fuzz_password_check: encryption headers of
# entries that zip encrypts (stored and deflated, with the right password and
# a wrong one) with their CRC, DOS time and a piece of the data, plus two
# arbitrary inputs. The layout is the one fuzz_password_check.cpp reads. The
# seeds are kept in the tree; run this again only to remake them.
#   fuzz/make_crypto_seeds.sh
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 - "$here/corpus/fuzz_password_check" "$work" <<'PY'
import os, struct, subprocess, sys
out, work = sys.argv[1], sys.argv[2]
os.makedirs(out, exist_ok=True)
def save(name, header, crc, time, password, data):
    blob = header + struct.pack("<IH", crc, time) + bytes([len(password)]) + password + data
    open(os.path.join(out, name), "wb").write(blob)
text = b"".join(b"entry line %d of the seed\n" % i for i in range(40))
open(os.path.join(work, "a.txt"), "wb").write(text)
for level in ("-0", "-9"):
    z = os.path.join(work, "s%s.zip" % level)
    subprocess.run(["zip", "-q", level, "-P", "seed pass", z, "a.txt"], cwd=work, check=True)
    b = open(z, "rb").read()
    time, = struct.unpack_from("<H", b, 10)
    crc, csize = struct.unpack_from("<II", b, 14)
    n, e = struct.unpack_from("<HH", b, 26)
    data = b[30 + n + e: 30 + n + e + csize]
    save("zip%s-right.bin" % level, data[:12], crc, time, b"seed pass", data[12:200])
    save("zip%s-wrong.bin" % level, data[:12], crc, time, b"seed pasS", data[12:60])
save("empty-password.bin", bytes(range(12)), 0xDEADBEEF, 0x6000, b"", b"\x00" * 16)
save("long-password.bin", b"\xff" * 12, 0, 0, bytes(range(1, 200)), b"tail")
PY
