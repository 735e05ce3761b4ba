#!/usr/bin/env bash
# Counts the instructions the program runs from its start to its first painted window, with
# callgrind: a count, not a time, so it is the same on a busy machine as on an idle one. Prints
# the total and the functions (with what they call) that take the largest share. Not a test:
# nothing here fails on a figure.
#
#   tests/bench/startup.sh [BUILD_DIR] [LANGUAGE]     (defaults: build, zh_CN.UTF-8)
#
# The program is tavrel_first_paint, the program itself ending once its first window has
# painted (tests/bench/firstpaint.cpp). Build it first:
#   cmake --build build --target tavrel_first_paint
set -euo pipefail
cd "$(dirname "$0")/../.."

build=${1:-build}
language=${2:-zh_CN.UTF-8}
program=$build/bin/tavrel_first_paint
[[ -x $program ]] || { echo "startup.sh: $program is missing; build the target tavrel_first_paint" >&2; exit 1; }
command -v valgrind >/dev/null || { echo "startup.sh: valgrind is not installed" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tavrel-startup.XXXXXX")
trap '[[ -n ${KEEP_CALLGRIND:-} ]] || rm -rf "$work"' EXIT
# A home of its own: no user style sheet, settings or font cache of the caller's changes the count.
mkdir -p "$work/home"
run() {
  HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_CACHE_HOME=$work/cache \
  LANG=$language LC_ALL=$language LANGUAGE= QT_QPA_PLATFORM=xcb \
  tests/with-xvfb.sh 1024x768x24 \
    valgrind --tool=callgrind --callgrind-out-file="$work/$1" --dump-instr=no "$program" >/dev/null 2>&1
}
# The first run fills fontconfig's cache for the fresh home; the second is the one a user sees
# on every start after the first.
run first.out
run second.out

total() { sed -n 's/^summary: *//p; s/^totals: *//p' "$1" | head -n1; }
printf 'instructions to the first painted window (%s): %s\n' "$language" "$(total "$work/second.out")"
echo "where they go, by library (own instructions):"
callgrind_annotate --threshold=100 "$work/second.out" 2>/dev/null \
  | sed -nE 's/^ *([0-9,]+) \([ 0-9.]+%\) +[^[]*\[([^]]*)\]$/\1 \2/p' \
  | awk '{ gsub(",", "", $1); n = split($2, parts, "/"); by[parts[n]] += $1 }
         END { for (lib in by) printf "%12d  %s\n", by[lib], lib }' \
  | sort -rn | head -n 10
echo "the program's own steps (with all they call):"
callgrind_annotate --inclusive=yes --threshold=100 "$work/second.out" 2>/dev/null \
  | grep -E '^ *[0-9,]+ \(.*\) +src/.*tavrel::' | sed -E 's/ \[[^]]*\]$//; s/\(QWidget\*\)|\([^)]*\)$//' | head -n 12
