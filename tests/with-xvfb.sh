#!/usr/bin/env bash
# Runs a command on a virtual X display of its own: Xvfb picks a free display number itself
# (-displayfd), so tests that run side by side never take the same one, as `xvfb-run -a` can
# when two of them look for a free number at the same moment.
#
#   with-xvfb.sh WIDTHxHEIGHTxDEPTH COMMAND [ARGUMENT...]
set -euo pipefail

screen=$1
shift
work=$(mktemp -d "${TMPDIR:-/tmp}/tavrel-xvfb.XXXXXX")
xvfb=
cleanup() {
  [[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 200); do
  grep -q '[0-9]' "$work/display" 2>/dev/null && break
  kill -0 "$xvfb" 2>/dev/null || break
  sleep 0.05
done
if ! grep -q '[0-9]' "$work/display" 2>/dev/null; then
  cat "$work/xvfb.log" >&2
  echo "with-xvfb.sh: Xvfb did not start" >&2
  exit 1
fi
status=0
DISPLAY=:$(tr -dc 0-9 <"$work/display") "$@" || status=$?
exit "$status"
