#!/usr/bin/env bash
# Benchmark of TUnLHA's lh5 and lh7 paths against lhasa: archives of about
# 20 MB of text and binaries (files of /usr/include and /usr/lib, copied once
# into the data folder) written by jlha in -lh5- and -lh7-. In one run,
#   extract  vz x -o   vs  lhasa x
# each three times, the best time kept, and the ratios vz / lhasa printed
# (below 1: vz is faster); the extracted trees are checked against the
# source.
#
#   bench/bench_lha.sh [BIN_DIR [DATA_DIR]]
#   cmake --build BUILD --target bench_lha   (configured with -DVZ_BENCH=ON)
# BIN_DIR holds vz (default build/bin); DATA_DIR keeps the data between runs
# (default $TMPDIR/vz-bench-lha).
set -euo pipefail

bin=$(cd "${1:-$(dirname "$0")/../build/bin}" && pwd)
data=${2:-${TMPDIR:-/tmp}/vz-bench-lha}
vz="$bin/vz"
for tool in jlha lhasa; do
  command -v "$tool" >/dev/null || { echo "bench_lha: $tool is not installed" >&2; exit 1; }
done
[ -x "$vz" ] || { echo "bench_lha: $vz is not built" >&2; exit 1; }

mkdir -p "$data"
cd "$data"
if [ ! -f .complete ]; then
  echo "Making 20 MB lh5 and lh7 archives in $data (once)..."
  rm -rf src files.txt
  mkdir -p src/inc src/lib
  # 14 MB of headers and 6 MB of shared objects, in a stable order.
  (cd /usr/include && find . -type f -size -2M -printf '%s %P\n' | LC_ALL=C sort -k2) |
    awk -v limit=14000000 '{ total += $1; if (total <= limit) print $2 }' > inc.txt
  (cd /usr/include && tar -cf - -T "$data/inc.txt") | (cd src/inc && tar -xf -)
  (cd /usr/lib/x86_64-linux-gnu && find . -maxdepth 1 -type f -name '*.so*' -size -3M -printf '%s %P\n' |
    LC_ALL=C sort -k2) | awk -v limit=6000000 '{ total += $1; if (total <= limit) print $2 }' > lib.txt
  (cd /usr/lib/x86_64-linux-gnu && cp $(cat "$data/lib.txt") "$data/src/lib/")
  (cd src && jlha a2o5 "$data/data5.lzh" inc lib >/dev/null)
  (cd src && jlha a2o7 "$data/data7.lzh" inc lib >/dev/null)
  touch .complete
fi
export VZ_ROOT="$data/vzroot"
mkdir -p "$VZ_ROOT"
echo "source: $(du -sb src | cut -f1) bytes; lh5: $(stat -c %s data5.lzh) bytes, lh7: $(stat -c %s data7.lzh) bytes"

# best COMMAND...: the best wall time of three quiet runs in a fresh out/.
best() {
  local b="" t start end
  for _ in 1 2 3; do
    rm -rf out && mkdir out
    start=$(date +%s.%N)
    (cd out && "$@" >/dev/null 2>"$data/last.err") || { echo "bench_lha: failed: $*" >&2; cat "$data/last.err" >&2; exit 1; }
    end=$(date +%s.%N)
    t=$(echo "$start $end" | awk '{ printf "%.3f", $2 - $1 }')
    if [ -z "$b" ] || awk -v a="$t" -v b="$b" 'BEGIN { exit !(a < b) }'; then b=$t; fi
  done
  echo "$b"
}
ratio() { echo "$1 $2" | awk '{ if ($2 > 0) printf "%.2f", $1 / $2; else print "-" }'; }
row() { printf '%-22s %8s s   %-16s %8s s   ratio %s\n' "$1" "$2" "$3" "$4" "$(ratio "$2" "$4")"; }

for m in 5 7; do
  t=$(best "$vz" x -o -q "$data/data$m.lzh"); p=$(best lhasa xq "$data/data$m.lzh")
  row "vz x data$m.lzh" "$t" "lhasa x" "$p"
done
# The extracted tree is the same bytes as the source.
rm -rf out && mkdir out && (cd out && "$vz" x -o -q "$data/data7.lzh" >/dev/null) && diff -r -q src out >/dev/null \
  && echo "lh7 extraction matches the source" || echo "bench_lha: the lh7 extraction differs" >&2
rm -rf out
