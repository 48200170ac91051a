#!/bin/sh
# Makes the seed corpus of fuzz_readers_extract: the small corpus archives
# of the extracted formats (the MANIFEST's format column), and archives made
# here with tar (ustar, GNU and pax long names, links, a name and a link
# target climbing out), gzip, compress and gcab (stored and MSZIP).
#   fuzz/make_readers_extract_seeds.sh CORPUS_FOLDER OUT_FOLDER
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
      TAR|GZIP|Z|CAB|ARC|ARJ|PAK|LZH|ZOO|SFX) cp "$f" "$out/$file" ;;
    esac
  done
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src/docs/sub" "$work/src/empty"
printf 'read me\n' > "$work/src/docs/readme.txt"
printf 'hello hello hello hello hello hello\n' > "$work/src/hello.txt"
printf 'deep\n' > "$work/src/docs/sub/deep.txt"
: > "$work/src/zero.txt"
long=$(printf 'x%.0s' $(seq 1 120))
printf 'long\n' > "$work/src/docs/$long.txt"
ln -s docs/readme.txt "$work/src/link"
ln -s ../../outside "$work/src/docs/escape"
ln "$work/src/hello.txt" "$work/src/hard.txt"
cd "$work/src"
if command -v tar > /dev/null; then
  tar --format=ustar -cf "$out/made-ustar.tar" docs hello.txt zero.txt link 2> /dev/null || true
  tar --format=gnu -cf "$out/made-gnu.tar" .
  tar --format=pax -cf "$out/made-pax.tar" .
  tar --format=gnu -P -cf "$out/made-climb.tar" --transform 's,^hello,../../hello,' hello.txt 2> /dev/null || true
fi
if command -v gzip > /dev/null; then
  gzip -9 -c hello.txt > "$out/made.gz"
  gzip -N -c docs/readme.txt > "$out/made-named.gz"
fi
if command -v compress > /dev/null; then
  compress -c hello.txt > "$out/made.Z" || true
  compress -b 9 -c docs/readme.txt > "$out/made-9.Z" || true
fi
if command -v gcab > /dev/null; then
  gcab -c "$out/made-stored.cab" hello.txt docs/readme.txt
  gcab -c -z "$out/made-mszip.cab" hello.txt docs/readme.txt docs/sub/deep.txt
fi
touch "$out/.made"
