#!/usr/bin/env bash
# Benchmark of the readers' TAR and CAB paths against the peers: a TAR of
# about 50 MB and a cabinet (MSZIP, as gcab -z writes it) of the same files
# (the first files of /usr/include, copied once into the data folder). In
# one run:
#   list     vz l      vs  bsdtar -tvf      /  cabextract -l
#   extract  vz x -o   vs  bsdtar -xf       /  cabextract
# each three times, the best time kept, and the ratios vz / peer printed
# (below 1: vz is faster).
#
#   bench/bench_readers.sh [BIN_DIR [DATA_DIR]]
#   cmake --build BUILD --target bench_readers   (configured with -DVZ_BENCH=ON)
# BIN_DIR holds vz (default build/bin); DATA_DIR keeps the data between runs
# (default $TMPDIR/vz-bench-readers).
set -euo pipefail

bin=$(cd "${1:-$(dirname "$0")/../build/bin}" && pwd)
data=${2:-${TMPDIR:-/tmp}/vz-bench-readers}
vz="$bin/vz"
for tool in bsdtar cabextract gcab tar; do
  command -v "$tool" >/dev/null || { echo "bench_readers: $tool is not installed" >&2; exit 1; }
done
[ -x "$vz" ] || { echo "bench_readers: $vz is not built" >&2; exit 1; }

mkdir -p "$data"
cd "$data"
if [ ! -f .complete ]; then
  echo "Making a 50 MB TAR and cabinet in $data (once)..."
  rm -rf src files.txt
  mkdir -p src
  # Regular files of /usr/include, in a stable order, up to 50 MB.
  (cd /usr/include && find . -type f -size -4M -printf '%s %P\n' | LC_ALL=C sort -k2) |
    awk -v limit=50000000 '{ total += $1; if (total <= limit) print $2 }' > files.txt
  (cd /usr/include && tar -cf - -T "$data/files.txt") | (cd src && tar -xf -)
  (cd src && tar --format=gnu -cf "$data/data.tar" -T "$data/files.txt")
  (cd src && gcab -c -z "$data/data.cab" $(cat "$data/files.txt"))
  touch .complete
fi
export VZ_ROOT="$data/vzroot"
mkdir -p "$VZ_ROOT"
echo "TAR: $(stat -c %s data.tar) bytes, cabinet: $(stat -c %s data.cab) bytes, $(wc -l < files.txt) files"

# best COMMAND...: the best wall time of three quiet runs, in seconds.
best() {
  local b="" t start end
  for _ in 1 2 3; do
    rm -rf out && mkdir out
    start=$(date +%s.%N)
    "$@" >/dev/null 2>"$data/last.err" || { echo "bench_readers: failed: $*" >&2; cat "$data/last.err" >&2; exit 1; }
    end=$(date +%s.%N)
    t=$(echo "$start $end" | awk '{ printf "%.3f", $2 - $1 }')
    if [ -z "$b" ] || awk -v a="$t" -v b="$b" 'BEGIN { exit !(a < b) }'; then b=$t; fi
  done
  echo "$b"
}
ratio() { echo "$1 $2" | awk '{ if ($2 > 0) printf "%.2f", $1 / $2; else print "-" }'; }
row() { printf '%-26s %8s s   %-22s %8s s   ratio %s\n' "$1" "$2" "$3" "$4" "$(ratio "$2" "$4")"; }

t1=$(best "$vz" l data.tar); p1=$(best bsdtar -tvf data.tar)
row "vz l data.tar" "$t1" "bsdtar -tvf" "$p1"
t2=$(best "$vz" x -o data.tar -d out); p2=$(best bsdtar -xf data.tar -C out)
row "vz x data.tar" "$t2" "bsdtar -xf" "$p2"
t3=$(best "$vz" l data.cab); p3=$(best cabextract -l data.cab)
row "vz l data.cab" "$t3" "cabextract -l" "$p3"
t4=$(best "$vz" x -o data.cab -d out); p4=$(best cabextract -q -d out data.cab)
row "vz x data.cab" "$t4" "cabextract" "$p4"
# The extracted trees are the same bytes as the source.
rm -rf out && mkdir out && "$vz" x -o -q data.cab -d out >/dev/null && diff -r -q src out >/dev/null \
  && echo "cabinet extraction matches the source" || echo "bench_readers: the cabinet's files differ" >&2
rm -rf out
