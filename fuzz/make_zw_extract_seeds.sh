#!/bin/sh
# Makes the seed corpus of fuzz_zw_extract with zip at build time: folders,
# stored and deflated entries, an encrypted entry (password "a", the one the
# target gives), symbolic links (-y), a UTF-8 name, an empty file.
#   fuzz/make_zw_extract_seeds.sh OUT_FOLDER
set -eu
out=${1:?output folder}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out" "$work/src/docs/sub" "$work/src/empty"
printf 'read me\n' > "$work/src/docs/readme.txt"
printf 'hello hello hello hello hello hello\n' > "$work/src/hello.txt"
printf 'deep\n' > "$work/src/docs/sub/deep.txt"
printf 'utf-8\n' > "$work/src/$(printf 'na\303\257ve.txt')"
: > "$work/src/zero.txt"
ln -s docs/readme.txt "$work/src/link"
ln -s ../../outside "$work/src/docs/escape"
cd "$work/src"
rm -f "$out"/*.zip
zip -q -r -y -0 "$out/stored.zip" .
zip -q -r -y -9 "$out/deflated.zip" .
zip -q -r -y -X "$out/dos-times.zip" .
zip -q -P a "$out/encrypted.zip" hello.txt docs/readme.txt
