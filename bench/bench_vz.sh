#!/usr/bin/env bash
# Benchmark of vz, the manager's command line, against the peers on one
# source tree of more than 100 MB (/usr/include and /usr/share/doc, copied
# once into the data folder, symbolic links left out so every tool sees the
# same regular files). In one run, twice (the engine's default threads,
# then VZ_THREADS=1 with 7zz on one thread too):
#   compress   vz a -r -6   vs  zip -r -6   and  7zz a -tzip -mx5
#   extract    vz x -o      vs  unzip -o    and  7zz x     (all on zip's archive)
#   test       vz t         vs  unzip -t                   (zip's archive)
# and prints each time, each archive's size and the ratios vz / peer
# (below 1: vz is faster or smaller).
#
#   bench/bench_vz.sh [BIN_DIR [DATA_DIR]]
#   cmake --build BUILD --target bench_vz      (configured with -DVZ_BENCH=ON)
# BIN_DIR holds vz and the engine's libraries (default build/bin); DATA_DIR
# keeps the source copy between runs (default $TMPDIR/vz-bench).
set -euo pipefail

bin=$(cd "${1:-$(dirname "$0")/../build/bin}" && pwd)
data=${2:-${TMPDIR:-/tmp}/vz-bench}
vz="$bin/vz"
for tool in zip unzip 7zz; do
  command -v "$tool" >/dev/null || { echo "bench_vz: $tool is not installed" >&2; exit 1; }
done
[ -x "$vz" ] || { echo "bench_vz: $vz is not built" >&2; exit 1; }

mkdir -p "$data"
cd "$data"
if [ ! -f src/.complete ]; then
  echo "Copying /usr/include and /usr/share/doc into $data/src (once)..."
  rm -rf src
  mkdir -p src
  cp -a /usr/include src/include
  cp -a /usr/share/doc src/doc 2>/dev/null || true
  find src -type l -delete
  chmod -R u+rw src
  touch src/.complete
fi
files=$(find src -type f ! -name .complete | wc -l)
bytes=$(du -sb --exclude=.complete src | cut -f1)
echo "Source: $files files, $((bytes / 1000000)) MB"

# Keeps vz's settings and temporary files inside the data folder.
export VZ_ROOT="$data/vzroot"
mkdir -p "$VZ_ROOT"

# seconds COMMAND...: runs the command quietly, prints its wall time.
seconds() {
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>"$data/last.err" || { echo "bench_vz: failed: $*" >&2; cat "$data/last.err" >&2; exit 1; }
  end=$(date +%s.%N)
  echo "$start $end" | awk '{ printf "%.2f", $2 - $1 }'
}
ratio() { echo "$1 $2" | awk '{ if ($2 > 0) printf "%.2f", $1 / $2; else print "-" }'; }
size() { stat -c %s "$1"; }

# round LABEL THREADS 7ZZ-SWITCH: one pass of every comparison.
round() {
  local label=$1 threads=$2 mt7=$3
  if [ -n "$threads" ]; then export VZ_THREADS=$threads; else unset VZ_THREADS; fi
  rm -rf out-* ./*.zip
  echo
  echo "== $label =="
  local t_vz t_zip t_7z
  t_vz=$(seconds "$vz" a -r -6 -q vz.zip src)
  t_zip=$(seconds zip -r -6 -q zip.zip src)
  t_7z=$(seconds 7zz a -tzip -mx5 $mt7 7z.zip src)
  local s_vz s_zip s_7z
  s_vz=$(size vz.zip)
  s_zip=$(size zip.zip)
  s_7z=$(size 7z.zip)
  printf '%-9s %-28s %8s s %12s bytes\n' compress "vz a -r -6" "$t_vz" "$s_vz"
  printf '%-9s %-28s %8s s %12s bytes   vz/zip: time %s size %s\n' "" "zip -r -6" "$t_zip" "$s_zip" \
    "$(ratio "$t_vz" "$t_zip")" "$(ratio "$s_vz" "$s_zip")"
  printf '%-9s %-28s %8s s %12s bytes   vz/7zz: time %s size %s\n' "" "7zz a -tzip -mx5 $mt7" "$t_7z" "$s_7z" \
    "$(ratio "$t_vz" "$t_7z")" "$(ratio "$s_vz" "$s_7z")"

  local x_vz x_unzip x_7z
  x_vz=$(seconds "$vz" x -o -q -d out-vz zip.zip)
  x_unzip=$(seconds unzip -o -q zip.zip -d out-unzip)
  x_7z=$(seconds 7zz x -y $mt7 -oout-7z zip.zip)
  printf '%-9s %-28s %8s s\n' extract "vz x -o" "$x_vz"
  printf '%-9s %-28s %8s s   vz/unzip: %s\n' "" "unzip -o" "$x_unzip" "$(ratio "$x_vz" "$x_unzip")"
  printf '%-9s %-28s %8s s   vz/7zz: %s\n' "" "7zz x $mt7" "$x_7z" "$(ratio "$x_vz" "$x_7z")"
  if ! diff -rq src out-vz/src >/dev/null; then
    echo "bench_vz: vz's extraction differs from the source" >&2
    exit 1
  fi

  local v_vz v_unzip
  v_vz=$(seconds "$vz" t -q zip.zip)
  v_unzip=$(seconds unzip -t -q zip.zip)
  printf '%-9s %-28s %8s s\n' test "vz t" "$v_vz"
  printf '%-9s %-28s %8s s   vz/unzip: %s\n' "" "unzip -t" "$v_unzip" "$(ratio "$v_vz" "$v_unzip")"
  rm -rf out-*
}

round "engine's default threads" "" ""
round "VZ_THREADS=1 (7zz with -mmt1)" 1 "-mmt1"
rm -f ./*.zip last.err
