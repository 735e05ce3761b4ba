#!/usr/bin/env bash
# Configures Tavrel without its tests where neither umockdev nor GoogleTest can be found, as on
# a machine that only builds the program: the configuration must succeed and leave the device
# emulator out.
#
#   configure_without_tests.sh SOURCE_DIR
set -euo pipefail

source_dir=$(realpath "$1")
work=$(mktemp -d "${TMPDIR:-/tmp}/tavrel-notests.XXXXXX")
trap 'rm -rf "$work"' EXIT

# pkg-config sees every module of this machine but umockdev.
mkdir "$work/pkgconfig"
IFS=: read -r -a search <<<"$(pkg-config --variable pc_path pkg-config)"
for folder in "${search[@]}"; do
  [[ -d $folder ]] || continue
  for pc in "$folder"/*.pc; do
    [[ -e $pc && $(basename "$pc") != umockdev-1.0.pc && ! -e $work/pkgconfig/$(basename "$pc") ]] &&
      ln -s "$pc" "$work/pkgconfig/"
  done
done
export PKG_CONFIG_LIBDIR=$work/pkgconfig PKG_CONFIG_PATH=
if pkg-config --exists umockdev-1.0; then
  echo "FAIL: umockdev is still visible" >&2
  exit 1
fi

if ! cmake -S "$source_dir" -B "$work/build" -G Ninja -DTAVREL_BUILD_TESTS=OFF \
    -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON >"$work/cmake.log" 2>&1; then
  cat "$work/cmake.log"
  echo "FAIL: a build without tests does not configure without umockdev and GoogleTest" >&2
  exit 1
fi
cat "$work/cmake.log"
# The program and its hook library are there; the emulator is not.
targets=$(cmake --build "$work/build" --target help)
for target in tavrel Morvik; do
  grep -q "^$target:" <<<"$targets" || { echo "FAIL: no target $target" >&2; exit 1; }
done
if grep -q "^tavrel-keyemu:" <<<"$targets"; then
  echo "FAIL: the device emulator is built without umockdev" >&2
  exit 1
fi
echo "PASS"
