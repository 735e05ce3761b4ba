#!/usr/bin/env bash
# Runs Debian's own checker, lintian, on the package that tests/package/build_package.sh built:
# any error or warning fails the test. An override belongs in the package only with a comment that says
# why the finding is wrong for Tavrel.
#
#   test_lintian.sh DEB_DIR
set -euo pipefail

deb_dir=$(realpath "$1")
work=$(mktemp -d "${TMPDIR:-/tmp}/tavrel-lintian.XXXXXX")
trap 'rm -rf "$work"' EXIT

debs=("$deb_dir"/*.deb)
# lintian says so on standard error when run as root, which changes nothing it checks.
status=0
findings=$(lintian --fail-on error,warning --tag-display-limit 0 "${debs[@]}" 2>"$work/lintian.err") || status=$?
grep -v 'running with root privileges is not recommended' "$work/lintian.err" >&2 || true
if [[ -n $findings || $status -ne 0 ]]; then
  echo "$findings"
  echo "FAIL: lintian finds the above in $(basename "${debs[0]}") (status $status)" >&2
  exit 1
fi
echo "PASS: lintian finds nothing in $(basename "${debs[0]}")"
