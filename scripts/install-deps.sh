#!/usr/bin/env bash
# Installs, with apt-get, whatever the build, the tests and the benchmarks
# need and this machine lacks. Runs as root on a fresh Debian 12 machine;
# elsewhere it only reports what is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev   # compilers, libFuzzer runtime
  libgtest-dev libgmock-dev libbenchmark-dev        # tests and benchmarks
  zip unzip 7zip libarchive-tools python3           # peer tools the tests compare with
  unar                                              # lsar: the legacy formats' listing peer (ARC, ARJ, LZH, RAR, ZOO)
  attr xdg-utils file shared-mime-info              # extended attributes, MIME database, file types
  qt6-base-dev qt6-svg-dev                          # Qt back ends of the platform services
  zlib1g-dev                                        # the benchmarks compare with zlib (never linked by the product)
  libdeflate-dev                                    # the level benchmark compares with libdeflate (never linked by the product)
  libbz2-dev liblzma-dev libzstd-dev libssl-dev     # the stand-in engine's modern methods (bzip2, LZMA/xz, Zstandard, AES)
  ncompress gcab cabextract                         # the readers' codec tests make .Z and CAB files and check them
  nomarch arc arj lhasa jlha-utils                  # the legacy extractors' peers: ARC/PAK, ARJ and LHA readers and writers
  xvfb xauth breeze-icon-theme                      # vzip's windows drawn under Xvfb (scripts/screenshots.sh) with theme icons
  desktop-file-utils libxml2-utils                  # checks of the .desktop file and the MIME entries
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  sudo=sudo
else
  sudo=
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
