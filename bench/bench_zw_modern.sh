#!/usr/bin/env bash
# Benchmark of the stand-in engine on today's archives, against 7zz in the
# same run: vz x of a 1 GB Zip64 archive (zip -fz, deflate, a mix of text
# and random data in four files) and of AES-256 archives made by 7zz (256 MB
# deflated, and the same stored), each extraction checked against the
# source, with the times and the ratios vz / 7zz printed (below 1: vz is
# faster; each figure is the faster of two runs, wall and processor
# time). Everything is made in a folder under TMPDIR and removed at the
# end. Never part of the test run.
#
#   bench/bench_zw_modern.sh [BIN_DIR]
#   cmake --build BUILD --target bench_zw_modern   (configured with -DVZ_BENCH=ON)
set -euo pipefail

bin=$(cd "${1:-$(dirname "$0")/../build/bin}" && pwd)
vz="$bin/vz"
for tool in zip 7zz python3; do
  command -v "$tool" >/dev/null || { echo "bench_zw_modern: $tool is not installed" >&2; exit 1; }
done
[ -x "$vz" ] || { echo "bench_zw_modern: $vz is not built" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/vz-modern-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
export VZ_ROOT="$work/vzroot"
mkdir -p "$VZ_ROOT"

# measure COMMAND...: runs the command quietly, twice, and prints the wall
# time and the processor time (user and system) of the faster run; the
# machine may be shared, so the processor time is the steadier figure.
measure() {
  local best="" run
  command -v /usr/bin/time >/dev/null || { echo "bench_zw_modern: /usr/bin/time is not installed" >&2; exit 1; }
  for run in 1 2; do
    rm -rf out-vz out-7z
    /usr/bin/time -f '%e %U %S' -o "$work/time.txt" "$@" >/dev/null 2>"$work/last.err" ||
      { echo "bench_zw_modern: failed: $*" >&2; cat "$work/last.err" >&2; exit 1; }
    run=$(awk '{ printf "%.2f %.2f", $1, $2 + $3 }' "$work/time.txt")
    if [ -z "$best" ] || awk -v a="$run" -v b="$best" 'BEGIN { split(a, x); split(b, y); exit !(x[1] < y[1]) }'; then
      best=$run
    fi
  done
  echo "$best"
}
ratio() { echo "$1 $2" | awk '{ if ($2 > 0) printf "%.2f", $1 / $2; else print "-" }'; }

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

# compare LABEL ARCHIVE PASSWORD: vz x against 7zz x on the archive.
compare() {
  local label=$1 archive=$2 password=$3 vz_t z_t
  local -a pass_vz=() pass_7z=()
  if [ -n "$password" ]; then
    pass_vz=(-p "$password")
    pass_7z=("-p$password")
  fi
  z_t=$(measure 7zz x -y "${pass_7z[@]}" -oout-7z "$archive")
  vz_t=$(measure "$vz" x -o -q "${pass_vz[@]}" -d out-vz "$archive")
  diff -rq src out-vz/src >/dev/null || { echo "bench_zw_modern: vz's extraction of $label differs" >&2; exit 1; }
  set -- $vz_t $z_t
  printf '%-26s %5s MB  vz x %6s s (cpu %6s s)  7zz x %6s s (cpu %6s s)  vz/7zz: wall %s cpu %s\n' "$label" \
    "$(($(stat -c %s "$archive") / 1000000))" "$1" "$2" "$3" "$4" "$(ratio "$1" "$3")" "$(ratio "$2" "$4")"
  rm -rf out-vz out-7z
}

echo "Making 1 GB of source and its Zip64 archive (zip -fz -6)..."
make_source src 1024
zip -q -r -fz -6 zip64.zip src
compare "Zip64, 1 GB, deflate" zip64.zip ""
rm -rf src zip64.zip

echo "Making 256 MB of source and its AES-256 archives (7zz)..."
make_source src 256
7zz a -bd -tzip -mem=AES256 -pbench -mm=Deflate aes-deflate.zip src >/dev/null
7zz a -bd -tzip -mem=AES256 -pbench -mm=Copy aes-stored.zip src >/dev/null
compare "AES-256, 256 MB, deflate" aes-deflate.zip bench
compare "AES-256, 256 MB, stored" aes-stored.zip bench
