#!/bin/sh
# Makes the seed corpus of fuzz_deflate: a mode byte followed by a small
# input (text, source, a run, binary-like bytes, random bytes). The seeds
# are kept in the tree; run this again only to remake them.
#   fuzz/make_deflate_seeds.sh
set -eu
here=$(cd "$(dirname "$0")" && pwd)
python3 - "$here/corpus/fuzz_deflate" <<'PY'
import os, random, sys
out = sys.argv[1]
os.makedirs(out, exist_ok=True)
def save(name, mode, data):
    open(os.path.join(out, name), "wb").write(bytes([mode]) + data)
text = b"".join(b"%d window %s block, " % (i, b"deflate" if i % 3 else b"inflate") for i in range(300))
source = b"".join(b"static int f%d(int x) { return x * %d + g(x); }\n" % (i, i % 7) for i in range(120))
rng = random.Random(5)
save("text-normal.bin", 0, text)
save("source-fast.bin", 1, source)
save("run-maximum.bin", 2, b"a" * 3000 + b"b" * 700 + b"ab" * 500)
save("binary-normal.bin", 7, bytes((i * 7 + (i >> 4)) & 0xFF for i in range(4000)))
save("random-fast.bin", 1, bytes(rng.randrange(256) for _ in range(2000)))
save("letters-maximum.bin", 2, bytes(65 + rng.randrange(16) for _ in range(6000)))
save("tiny.bin", 0, b"ab")
PY
