#!/usr/bin/env bash
# Installs every Debian/Ubuntu package that building, running and testing Tavrel needs; with
# --fuzz also clang and its runtime libraries, which only the fuzz targets need. Says which
# packages are missing and what they are for before it asks for sudo.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

# What each group of packages is for, and the packages.
groups=(
  "build Tavrel"
  "build-essential cmake ninja-build pkg-config qt6-base-dev qt6-svg-dev libgl-dev qt6-tools-dev
   qt6-tools-dev-tools qt6-l10n-tools libudev-dev libevdev-dev libx11-dev libxi-dev libglib2.0-dev
   libxkbcommon-dev libxkbcommon-x11-dev xkb-data scdoc dpkg-dev"

  "run Tavrel's window (Qt's platform plugins and SVG, Qt's own Chinese texts, a Chinese font)"
  "qt6-qpa-plugins libqt6svg6 qt6-translations-l10n fonts-wqy-microhei"

  "run the tests (GoogleTest, the emulated devices, a virtual X display)"
  "libgtest-dev libgmock-dev umockdev libumockdev-dev xvfb xdotool x11-utils xauth libxtst-dev"

  "check the Debian package (desktop entry, AppStream metadata, Debian's checker)"
  "desktop-file-utils appstream lintian"

  "check the layout of the C++ sources (scripts/format-check.sh)"
  "clang-format"

  "check the C++ sources with clazy, the analyser that knows Qt (scripts/clazy.sh)"
  "clazy"
)
if [[ ${1:-} == --fuzz ]]; then
  groups+=("build the fuzz targets" "clang libclang-rt-14-dev")
fi

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

missing=()
said=()
for ((i = 0; i < ${#groups[@]}; i += 2)); do
  why=${groups[i]}
  wanted=()
  for p in ${groups[i + 1]}; do
    installed "$p" || wanted+=("$p")
  done
  if ((${#wanted[@]})); then
    missing+=("${wanted[@]}")
    said+=("  to ${why}: ${wanted[*]}")
  fi
done
((${#missing[@]})) || exit 0

sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
echo "Tavrel needs these Debian packages, which are not installed:"
printf '%s\n' "${said[@]}"
if ((${#sudo_cmd[@]})); then
  echo "Installing them with 'sudo apt-get install'; sudo may ask for your password."
else
  echo "Installing them with 'apt-get install'."
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
