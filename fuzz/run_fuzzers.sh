#!/bin/sh
# Runs every fuzz target that has a <target>.options file and is built, for
# a while each, on its seed corpus corpus/<target>/ with the options' -max_len.
# New inputs go to a scratch folder, not to the seeds.
#   fuzz/run_fuzzers.sh BUILD_DIR [SECONDS] [TARGET...]   (BUILD_DIR configured with -DVZ_FUZZ=ON)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:?build folder}
seconds=${2:-20}
shift $(( $# < 2 ? $# : 2 ))
targets=${*:-$(cd "$here" && ls *.options | sed 's/\.options$//')}
for target in $targets; do
  if [ ! -x "$build/fuzz/$target" ]; then
    echo "== $target: not built, skipped"
    continue
  fi
  maxlen=$(sed -n 's/^max_len *= *//p' "$here/$target.options")
  scratch=$(mktemp -d)
  echo "== $target (max_len $maxlen, $seconds s)"
  # Seeds kept in the tree, and those a target makes at build time.
  seeds=""
  for d in "$here/corpus/$target" "$build/fuzz/corpus/$target"; do
    [ -d "$d" ] && seeds="$seeds $d"
  done
  # shellcheck disable=SC2086
  "$build/fuzz/$target" -max_len="$maxlen" -max_total_time="$seconds" -print_final_stats=1 \
    "$scratch" $seeds
  rm -rf "$scratch"
done
