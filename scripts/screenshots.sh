#!/usr/bin/env bash
# Pictures of the windows' states in both languages, for comparing a change of their look:
#
#   scripts/screenshots.sh OUTDIR            takes zh-*.png and en-*.png into OUTDIR
#   scripts/screenshots.sh --compare A B [DIFFS]
#                                            prints the differing pixels of each picture; DIFFS
#                                            gets B's differing pictures with those pixels red
#
# Needs the plain build's tavrel-screens (cmake --build --preset plain --target tavrel-screens),
# Xvfb and umockdev-wrapper.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
tool=${TAVREL_SCREENS:-$root/build-test-plain/bin/tavrel-screens}
[[ -x $tool ]] || { echo "screenshots.sh: build tavrel-screens first ($tool)" >&2; exit 1; }

if [[ ${1:-} == --compare ]]; then
  [[ $# -eq 3 || $# -eq 4 ]] || { echo "usage: screenshots.sh --compare DIR_A DIR_B [DIFFS]" >&2; exit 2; }
  QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)} exec "$tool" "$@"
fi
[[ $# -eq 1 ]] || { echo "usage: screenshots.sh OUTDIR | --compare DIR_A DIR_B [DIFFS]" >&2; exit 2; }
out=$1
mkdir -p "$out"
runtime=$(mktemp -d "${TMPDIR:-/tmp}/tavrel-screens.XXXXXX")
trap 'rm -rf "$runtime"' EXIT
for locale in zh_CN.UTF-8 en_US.UTF-8; do
  mkdir -p -m 700 "$runtime/$locale"
  env -u LC_ALL -u LC_MESSAGES LANG=$locale QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$runtime/$locale" \
    TAVREL_POLL_PERIOD_MS=10 \
    "$root/tests/with-xvfb.sh" 1280x1024x24 umockdev-wrapper "$tool" "$out"
done
