#!/bin/sh
# Writes the seeds of fuzz_zw_command: the argument vectors the wrapper
# component passes, one file each, arguments separated by zero bytes, the
# first byte 0 for the writer side and 1 for the reader side.
set -eu
out=$(cd "$(dirname "$0")" && pwd)/corpus/fuzz_zw_command
mkdir -p "$out"
seed() {  # name side args...
  name=$1 side=$2
  shift 2
  { printf "\\$(printf '%03o' "$side")"; first=1
    for a in "$@"; do [ $first -eq 1 ] || printf '\000'; first=0; printf '%s' "$a"; done; } > "$out/$name"
}
seed add 0 pw -u -e -6 -m -S -D -r -g -b "" -n ".ZIP;.LZH" -! -\& -t 010180 a.zip dir/\*.\* -i \*.c -x \*.o
seed delete 0 "" -d -b /tmp a.zip old/\*
seed fix 0 "" -FF a.zip
seed comment 0 "" -z -g a.zip
seed extract 1 "" -f -j -! -o a.zip f -d out
seed list 1 "" -v a.zip
seed test 1 "" -! -t a.zip \>x
