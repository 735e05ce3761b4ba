#!/usr/bin/env bash
# Installs what is missing, checks the layout of the C++ sources, then builds and runs every
# test: a plain build and a build under AddressSanitizer and UndefinedBehaviorSanitizer through
# ctest, the device layer and the session under ThreadSanitizer, and each fuzz target for a
# bounded time (FUZZ_SECONDS, 60 by default), with clazy (scripts/clazy.sh) checking the sources
# alongside: fuzzing runs for a set time whatever else the machine does, so the analyser costs it
# fuzzing runs but no minutes. The builds are the presets of CMakePresets.json.
#
# ctest runs tests side by side: most of them wait on emulated keys and timers rather than
# compute. Tests that share something (the user's "/TestHook.<uid>" name) hold a resource lock
# and never run together.
set -euo pipefail
cd "$(dirname "$0")/.."

# Every package the steps below need, the fuzz targets' compiler included, checked once.
bash scripts/install-deps.sh --fuzz
export TAVREL_DEPS_CHECKED=1

start=$SECONDS
echo "== layout of the C++ sources"
bash scripts/format-check.sh

jobs=$(nproc)
test_jobs=$((jobs * 2))
# Line tables are enough for the sanitizers' and GoogleTest's reports; full debug information
# would cost a third of the compile time (the presets build with -g1).
for variant in plain asan; do
  echo "== $variant build"
  phase=$SECONDS
  cmake --preset "$variant" >/dev/null
  cmake --build --preset "$variant" -j "$jobs"
  echo "== $variant built in $((SECONDS - phase)) s; its tests"
  phase=$SECONDS
  ctest --preset "$variant" -j "$test_jobs"
  echo "== $variant tests ran in $((SECONDS - phase)) s"
done

echo "== ThreadSanitizer"
bash scripts/tsan.sh

echo "== fuzzing, and clazy alongside"
phase=$SECONDS
clazy_log=$(mktemp "${TMPDIR:-/tmp}/tavrel-clazy-log.XXXXXX")
trap 'rm -f "$clazy_log"' EXIT
bash scripts/clazy.sh build-test-plain >"$clazy_log" 2>&1 &
clazy=$!
fuzzed=0
bash scripts/fuzz.sh "${FUZZ_SECONDS:-60}" || fuzzed=$?
analysed=0
wait "$clazy" || analysed=$?
echo "== clazy"
cat "$clazy_log"
echo "== fuzzing and clazy ran in $((SECONDS - phase)) s"
((fuzzed == 0 && analysed == 0))

echo "== all tests passed in $((SECONDS - start)) s"
