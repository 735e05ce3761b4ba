#!/usr/bin/env bash
# Runs Debian's own checker, lintian, on the package that tests/package/build_package.sh built,
# with its info tags shown too: any error, warning or info tag fails the test, among them those of
# binaries built or stripped otherwise than Debian's own (hardening-no-bindnow,
# hardening-no-fortify-functions, binary-has-unneeded-section). An override belongs in the package
# only with a comment that says why the finding is wrong for Tavrel.
#
#   test_lintian.sh DEB_DIR
set -euo pipefail

deb_dir=$(realpath "$1")
work=$(mktemp -d "${TMPDIR:-/tmp}/tavrel-lintian.XXXXXX")
trap 'rm -rf "$work"' EXIT

debs=("$deb_dir"/*.deb)
# The programs are built and stripped as Debian's own: no override may hide that they are not.
# The hook library's one override says why lintian finds no checked call in it.
dpkg-deb --fsys-tarfile "${debs[0]}" | tar -xO ./usr/share/lintian/overrides/tavrel >"$work/overrides" || true
if grep -v '^#' "$work/overrides" | grep -E 'hardening-|binary-has-unneeded-section' |
  grep -vx 'tavrel: hardening-no-fortify-functions \[usr/lib/tavrel/libMorvik.so\]'; then
  echo "FAIL: the package overrides the above hardening or stripping finding" >&2
  exit 1
fi
# lintian says so on standard error when run as root, which changes nothing it checks.
status=0
findings=$(lintian --display-info --fail-on error,warning,info --tag-display-limit 0 "${debs[@]}" \
  2>"$work/lintian.err") || status=$?
grep -v 'running with root privileges is not recommended' "$work/lintian.err" >&2 || true
if [[ -n $findings || $status -ne 0 ]]; then
  echo "$findings"
  echo "FAIL: lintian finds the above in $(basename "${debs[0]}") (status $status)" >&2
  exit 1
fi
echo "PASS: lintian finds nothing in $(basename "${debs[0]}")"
