#!/usr/bin/env bash
# Benchmark of ARJ extraction against the peers: about 20 MB of files (text
# from /usr/include and programs from /usr/bin, copied once into the data
# folder) archived by arj with method 1 (the block Huffman coding) and
# method 4 (fastest). In one run, for each archive:
#   vz x -o out   vs  arj x -y   vs  7zz x -y
# each three times, the best time kept, and the ratios vz / peer printed
# (below 1: vz is faster).
#
#   bench/bench_arj.sh [BIN_DIR [DATA_DIR]]
#   cmake --build BUILD --target bench_arj   (configured with -DVZ_BENCH=ON)
set -euo pipefail

bin=$(cd "${1:-$(dirname "$0")/../build/bin}" && pwd)
data=${2:-${TMPDIR:-/tmp}/vz-bench-arj}
vz="$bin/vz"
for tool in arj 7zz; do
  command -v "$tool" >/dev/null || { echo "bench_arj: $tool is not installed" >&2; exit 1; }
done
[ -x "$vz" ] || { echo "bench_arj: $vz is not built" >&2; exit 1; }

mkdir -p "$data"
cd "$data"
if [ ! -f .complete ]; then
  echo "Making 20 MB of files and their ARJ archives in $data (once)..."
  rm -rf src ./*.arj
  mkdir -p src/text src/bin
  (cd /usr/include && find . -type f -size -2M -printf '%s %P\n' | LC_ALL=C sort -k2) |
    awk -v limit=12000000 '{ total += $1; if (total <= limit) print $2 }' > text.txt
  (cd /usr/include && tar -cf - -T "$data/text.txt") | (cd src/text && tar -xf -)
  (cd /usr/bin && find . -maxdepth 1 -type f -size -3M -printf '%s %P\n' | LC_ALL=C sort -k2) |
    awk -v limit=8000000 '{ total += $1; if (total <= limit) print $2 }' > bin.txt
  (cd /usr/bin && tar -cf - -T "$data/bin.txt") | (cd src/bin && tar -xf -)
  (cd src && arj a -m1 -r -y ../m1.arj '*' >/dev/null && arj a -m4 -r -y ../m4.arj '*' >/dev/null)
  touch .complete
fi
export VZ_ROOT="$data/vzroot"
mkdir -p "$VZ_ROOT"
echo "files: $(du -sb src | cut -f1) bytes; m1.arj $(stat -c %s m1.arj), m4.arj $(stat -c %s m4.arj) bytes"

# best COMMAND...: the best wall time of three quiet runs in a fresh out/, in seconds.
best() {
  local b="" t start end
  for _ in 1 2 3; do
    rm -rf out && mkdir out
    start=$(date +%s.%N)
    (cd out && "$@" >/dev/null 2>"$data/last.err") || { echo "bench_arj: failed: $*" >&2; cat "$data/last.err" >&2; exit 1; }
    end=$(date +%s.%N)
    t=$(echo "$start $end" | awk '{ printf "%.3f", $2 - $1 }')
    if [ -z "$b" ] || awk -v a="$t" -v b="$b" 'BEGIN { exit !(a < b) }'; then b=$t; fi
  done
  echo "$b"
}
ratio() { echo "$1 $2" | awk '{ if ($2 > 0) printf "%.2f", $1 / $2; else print "-" }'; }

for a in m1 m4; do
  ours=$(best "$vz" x -o -d . "$data/$a.arj")
  peer=$(best arj x -y "$data/$a.arj")
  seven=$(best 7zz x -y "$data/$a.arj")
  printf '%s.arj  vz x %6s s   arj x %6s s (ratio %s)   7zz x %6s s (ratio %s)\n' \
    "$a" "$ours" "$peer" "$(ratio "$ours" "$peer")" "$seven" "$(ratio "$ours" "$seven")"
done
rm -rf out
