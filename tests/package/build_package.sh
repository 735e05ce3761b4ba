#!/usr/bin/env bash
# Builds the Debian package with CPack into DEB_DIR, afresh: the package tests that follow check
# this one package.
#
#   build_package.sh BUILD_DIR DEB_DIR
set -euo pipefail

build=$(realpath "$1")
out=$2
rm -rf "$out"
mkdir -p "$out"
if ! cpack -G DEB -B "$out" --config "$build/CPackConfig.cmake" >"$out.log" 2>&1; then
  cat "$out.log"
  echo "FAIL: cpack could not build the package" >&2
  exit 1
fi
ls "$out"/*.deb
