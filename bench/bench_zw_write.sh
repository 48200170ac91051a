#!/usr/bin/env bash
# Benchmark of the stand-in engine's writer against 7zz in the same run:
# vz a and 7zz a -tzip on 1 GB of files (deflate, level 6 / -mx5), on a
# sparse file of 4.5 GiB that makes the archive Zip64 (level 1 / -mx1), and
# with AES-256 on 256 MB (vz a --aes / -mem=AES256). Every archive vz writes
# is checked with 7zz t (and the Zip64 one with unzip -t); the times, the
# sizes and the ratios vz / 7zz are printed (below 1: vz is faster).
# Everything is made in a folder under TMPDIR and removed at the end. Never
# part of the test run: it needs about 10 GB of room for the Zip64 case.
#
#   bench/bench_zw_write.sh [BIN_DIR]
#   cmake --build BUILD --target bench_zw_write   (configured with -DVZ_BENCH=ON)
set -euo pipefail

bin=$(cd "${1:-$(dirname "$0")/../build/bin}" && pwd)
vz="$bin/vz"
for tool in 7zz unzip python3; do
  command -v "$tool" >/dev/null || { echo "bench_zw_write: $tool is not installed" >&2; exit 1; }
done
[ -x "$vz" ] || { echo "bench_zw_write: $vz is not built" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/vz-write-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
export VZ_ROOT="$work/vzroot"
mkdir -p "$VZ_ROOT"

# seconds COMMAND...: runs the command quietly, prints its wall time.
seconds() {
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>"$work/last.err" || { echo "bench_zw_write: failed: $*" >&2; cat "$work/last.err" >&2; exit 1; }
  end=$(date +%s.%N)
  echo "$start $end" | awk '{ printf "%.2f", $2 - $1 }'
}
ratio() { echo "$1 $2" | awk '{ if ($2 > 0) printf "%.2f", $1 / $2; else print "-" }'; }
mb() { echo $(($(stat -c %s "$1") / 1000000)); }

# make_source FOLDER MB: four files, half text that compresses, half random.
make_source() {
  mkdir -p "$1"
  python3 - "$1" "$2" <<'PY'
import os, sys
folder, mb = sys.argv[1], int(sys.argv[2])
quarter = mb * 1024 * 1024 // 4
line = b''.join(b'%08d the quick brown fox jumps over the lazy dog %d\n' % (i, i * 7919 % 10007) for i in range(4096))
for k in range(4):
    with open(os.path.join(folder, 'part%d.bin' % k), 'wb') as f:
        left = quarter
        while left > 0:
            chunk = os.urandom(min(left, 1 << 20)) if k % 2 else line[:min(left, len(line))]
            f.write(chunk)
            left -= len(chunk)
PY
}

# compare LABEL SOURCE "VZ OPTIONS" "7ZZ OPTIONS" [PASSWORD]: vz a against 7zz a.
compare() {
  local label=$1 source=$2 vzopts=$3 szopts=$4 password=${5:-} t_vz t_7z
  rm -f vz.zip 7z.zip
  # shellcheck disable=SC2086
  t_vz=$(seconds "$vz" a -q -r $vzopts vz.zip "$source")
  # shellcheck disable=SC2086
  t_7z=$(seconds 7zz a -bd -tzip $szopts 7z.zip "$source")
  7zz t -p"$password" vz.zip >/dev/null || { echo "bench_zw_write: 7zz t refuses vz's $label" >&2; exit 1; }
  printf '%-30s vz a %7s s %6s MB   7zz a %7s s %6s MB   vz/7zz: %s\n' "$label" \
    "$t_vz" "$(mb vz.zip)" "$t_7z" "$(mb 7z.zip)" "$(ratio "$t_vz" "$t_7z")"
}

echo "Making 1 GB of source..."
make_source src 1024
compare "1 GB, deflate" src "-6" "-mx5"
rm -rf src vz.zip 7z.zip

echo "Making a sparse file of 4.5 GiB (Zip64)..."
mkdir -p big
truncate -s 4608M big/sparse.img
printf 'a few bytes in the middle' | dd of=big/sparse.img bs=1 seek=3000000000 conv=notrunc status=none
compare "4.5 GiB sparse, Zip64, -1" big "-1" "-mx1"
unzip -tqq vz.zip >/dev/null || { echo "bench_zw_write: unzip -t refuses vz's Zip64 archive" >&2; exit 1; }
rm -rf big vz.zip 7z.zip

echo "Making 256 MB of source..."
make_source src 256
compare "AES-256, 256 MB, deflate" src "--aes -p bench -6" "-mem=AES256 -pbench -mx5" bench
compare "AES-256, 256 MB, stored" src "--aes -p bench -0" "-mem=AES256 -pbench -mx0" bench
