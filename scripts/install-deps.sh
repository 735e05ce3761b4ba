#!/usr/bin/env bash
# Installs every Debian/Ubuntu package that building, running and testing Tavrel needs; with
# --fuzz also clang and its runtime libraries, which only the fuzz targets need.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-svg-dev qt6-qpa-plugins libqt6svg6 libgl-dev
  qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
  libudev-dev libevdev-dev libx11-dev libxi-dev libxtst-dev libglib2.0-dev
  libxkbcommon-dev libxkbcommon-x11-dev xkb-data
  libgtest-dev libgmock-dev
  umockdev libumockdev-dev
  xvfb xdotool x11-utils xauth
  fonts-wqy-microhei
  dpkg-dev desktop-file-utils appstream
)
if [[ ${1:-} == --fuzz ]]; then
  packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
((${#missing[@]})) || exit 0

sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
