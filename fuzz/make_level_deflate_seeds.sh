#!/bin/sh
# Makes the seed corpus of fuzz_level_deflate: a level byte (level + 1)
# followed by a small input (text, source, runs, binary-like and random
# bytes, a text that changes character halfway). The seeds are kept in the
# tree; run this again only to remake them.
#   fuzz/make_level_deflate_seeds.sh
set -eu
here=$(cd "$(dirname "$0")" && pwd)
python3 - "$here/corpus/fuzz_level_deflate" <<'PY'
import os, random, sys
out = sys.argv[1]
os.makedirs(out, exist_ok=True)
def save(name, level, data):
    open(os.path.join(out, name), "wb").write(bytes([level + 1]) + data)
text = b"".join(b"%d window %s block, " % (i, b"deflate" if i % 3 else b"inflate") for i in range(300))
source = b"".join(b"static int f%d(int x) { return x * %d + g(x); }\n" % (i, i % 7) for i in range(120))
rng = random.Random(7)
save("text-1.bin", 1, text)
save("source-6.bin", 6, source)
save("runs-9.bin", 9, b"a" * 3000 + b"b" * 700 + b"ab" * 500)
save("binary-4.bin", 4, bytes((i * 7 + (i >> 4)) & 0xFF for i in range(4000)))
save("random-2.bin", 2, bytes(rng.randrange(256) for _ in range(3000)))
save("shift-7.bin", 7, text[:4000] + bytes(rng.randrange(256) for _ in range(2000)) + source[:3000])
save("tiny-5.bin", 5, b"abc")
PY
