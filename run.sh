#!/usr/bin/env bash
# Installs what is missing, builds, and runs the main job. With a display
# (DISPLAY or WAYLAND_DISPLAY set) that is the archive manager's window,
# vzip, on the bundled sample archive; without one it runs
# the command-line automation host `qx` on the bundled sample archive (it
# registers the compression control, checks the archive and reports on it),
# then the manager's command line `vz`, which lists, tests and extracts it.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"

bin=build/bin
sample=samples/sample.zip
# Keep this demonstration's registry and settings out of the user's home.
export VZ_ROOT="${VZ_ROOT:-$(pwd)/build/vzroot}"
mkdir -p "$VZ_ROOT"

# With a display, the archive manager's window opens on the sample; the
# command-line demonstration below runs where there is none.
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$bin/vzip" ]; then
  exec "$bin/vzip" "$sample"
fi

"$bin/regsvr32" /s "$bin/QX30W32.so"
echo "Control registered: $("$bin/qx" hWnd >/dev/null && echo yes)"
echo "Archive:            $sample"
echo "IsZIPFileQuick:     $("$bin/qx" IsZIPFileQuick "$sample" 0)"
echo "GetCount:           $("$bin/qx" GetCount "$sample" 0)"
echo "GetTotalSize (KB):  $("$bin/qx" GetTotalSize "$sample" 1 0)"
echo "Packed size (KB):   $("$bin/qx" GetTotalSize "$sample" 0 0)"
echo "GetZIPINFOMadeUnder:$("$bin/qx" GetZIPINFOMadeUnder "$sample" 0)"
echo "Comment:            $("$bin/qx" GetGlobalComment "$sample" 200 0)"
echo "Holds *.TXT:        $("$bin/qx" IsFileInTheZIPFile "$sample" 'DOCS\*.TXT' 0)"
echo "IsZIPFileSlow:      $("$bin/qx" IsZIPFileSlow "$sample" "" 0 0)"
echo
echo "Items (qx --list-items, sorted by name):"
"$bin/qx" --list-items "$sample" 1
out=build/run-output
rm -rf "$out"
echo
echo "UnzipFiles into $out: $("$bin/qx" UnzipFiles "$sample" "" "$out" 1 0 1 "" 0 0)"
find "$out" -type f | sort

# The manager's command line on the same sample: list, test and extract it
# through the wrapper and the engine's libraries beside vz. This needs no
# display, so it is what a machine without one runs of the manager.
vzout=build/run-output-vz
rm -rf "$vzout"
echo
echo "vz l $sample:"
"$bin/vz" l "$sample"
echo
echo "vz t $sample:"
"$bin/vz" t "$sample"
echo
echo "vz x -d $vzout $sample:"
"$bin/vz" x -d "$vzout" "$sample"
find "$vzout" -type f | sort
echo
echo "Try more: $bin/qx --help ; $bin/qx --list ; $bin/vz --help"
