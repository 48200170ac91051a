#!/usr/bin/env bash
# Draws vzip's windows under Xvfb and saves them as PNG files in
# docs/screenshots/: the main window with the sample archive listed in each
# of the four view styles, the progress window, the splash, the options
# window's pages and the tool windows (every window that windows.h lists).
#
#   scripts/screenshots.sh [BUILD_DIR]     (default: build)
#
# Needs the Debian packages xvfb, xauth and breeze-icon-theme
# (scripts/install-deps.sh installs them). The windows run with a private
# VZ_ROOT, so no setting of the user's is read or written.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
if [ ! -x "$build/bin/vzip_shots" ]; then
  cmake --build "$build" --target vzip_shots ZWZIP32 ZWUNZ32 -j 2
fi
out="$(pwd)/docs/screenshots"
mkdir -p "$out"
root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
export VZ_ROOT="$root"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
# The icon theme the shots use when the session names none.
export XDG_CURRENT_DESKTOP="${XDG_CURRENT_DESKTOP:-KDE}"
xvfb-run -a -s "-screen 0 1280x900x24" "$build/bin/vzip_shots" "$out"
echo "Screenshots in $out"
