#!/bin/sh
# Copies the seed corpus of fuzz_readers_walk from the sample archives: every
# archive below 64 KB of the formats the lister walks (the MANIFEST's format
# column), and the small self-extracting programs.
#   fuzz/make_readers_seeds.sh CORPUS_FOLDER OUT_FOLDER
set -eu
corpus=${1:?corpus folder}
out=${2:?output folder}
mkdir -p "$out"
if [ -f "$corpus/MANIFEST.tsv" ]; then
  tail -n +2 "$corpus/MANIFEST.tsv" | while IFS="$(printf '\t')" read -r _set file format _rest; do
    f="$corpus/$file"
    [ -f "$f" ] || continue
    [ "$(wc -c < "$f")" -le 65536 ] || continue
    case $format in
      ZIP|TAR|GZIP|Z|CAB|SFX|ARC|ARJ|PAK|LZH|HA|RAR|ZOO|EXE) cp "$f" "$out/$file" ;;
    esac
  done
fi
touch "$out/.made"
