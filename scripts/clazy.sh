#!/usr/bin/env bash
# Runs clazy, the static analyser that knows Qt, on every C++ source of src/, hook/ and tools/ with
# the compile commands of a configured build (the plain one by default), and fails on any finding
# in this repository's code. The checks are clazy's levels 0 and 1, but for those that do not fit
# Qt 6 or are wrong for this code, turned off in CLAZY_CHECKS below, each with its reason.
#
#   scripts/clazy.sh [BUILD_DIR]      (default build-test-plain; CLAZY_JOBS files at once, default
#                                      the number of cores)
#
# The precompiled headers of the build are GCC's, which clang cannot read; every source includes
# what it uses (a build with -DTAVREL_PCH=OFF checks that), so the commands go without them.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-test-plain}
jobs=${CLAZY_JOBS:-$(nproc)}
# qstring-ref: it asks for QStringRef and midRef(), which Qt 6 no longer has.
# lambda-in-connect: a lambda that captures locals by reference is connected only with a local
# context object declared after those locals (tavrelctl's waits, src/ctl/sessiondriver.cpp), so
# the connection ends before they go; clazy cannot see the context's lifetime.
CLAZY_CHECKS=level1,no-qstring-ref,no-lambda-in-connect
# In the emulator's own tests (tools/keyemu/tests) also non-pod-global-static: GoogleTest's TEST
# macro registers every test through a static object of its own.
CLAZY_TEST_CHECKS=$CLAZY_CHECKS,no-non-pod-global-static
command -v clazy-standalone >/dev/null || { echo "clazy.sh: clazy is not installed (scripts/install-deps.sh)" >&2; exit 1; }
[[ -f $build/compile_commands.json ]] || { echo "clazy.sh: configure $build first (cmake --preset plain)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tavrel-clazy.XXXXXX")
trap 'rm -rf "$work"' EXIT
sed -E 's# -Winvalid-pch##g; s# -include [^ ]*cmake_pch\.hxx##g' "$build/compile_commands.json" >"$work/compile_commands.json"

mapfile -t sources < <(git ls-files 'src/*.cpp' 'hook/*.cpp' 'tools/*.cpp')
root=$PWD
# One file a process, as many processes as jobs; each file's findings go to a file of its own.
printf '%s\n' "${sources[@]}" |
  xargs -P "$jobs" -I{} sh -c 'case $4 in */tests/*) checks=$3 ;; *) checks=$2 ;; esac
      clazy-standalone -p "$1" --checks="$checks" --header-filter="$5/(src|hook|tools)/" \
      --ignore-dirs="$5/build" "$5/$4" >"$1/$(echo "$4" | tr / _).log" 2>&1 || echo "$4" >>"$1/failed"' \
    sh "$work" "$CLAZY_CHECKS" "$CLAZY_TEST_CHECKS" {} "$root"

findings=$(cat "$work"/*.log | grep -E '(warning|error):' | sort -u || true)
if [[ -n $findings || -s $work/failed ]]; then
  echo "$findings"
  [[ -s $work/failed ]] && echo "clazy could not check: $(tr '\n' ' ' <"$work/failed")"
  echo "FAIL: clazy finds the above in ${#sources[@]} files" >&2
  exit 1
fi
echo "clazy finds nothing in ${#sources[@]} files of src/, hook/ and tools/"
