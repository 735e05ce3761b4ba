#!/usr/bin/env bash
# Installs what is missing, checks the layout of the C++ sources, then builds and runs every
# test: a plain build that makes the program and the package and runs the package's tests, a
# build under AddressSanitizer and UndefinedBehaviorSanitizer that runs every other test through
# ctest (with clazy, scripts/clazy.sh, checking the sources alongside), the device layer and the
# session under ThreadSanitizer, and each fuzz target for a bounded time (FUZZ_SECONDS, 20 by
# default here). The builds are the presets of CMakePresets.json.
#
# ctest runs tests side by side: most of them wait on emulated devices and timers rather than
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
#
# The plain build makes the program and the package and runs the tests that only it has (the
# package's, labelled "build"); every other test runs once, in the build under AddressSanitizer and
# UndefinedBehaviorSanitizer, which finds all that the plain run would and more.
echo "== plain build"
phase=$SECONDS
cmake --preset plain >/dev/null
cmake --build --preset plain -j "$jobs"
echo "== plain built in $((SECONDS - phase)) s; the package's tests"
phase=$SECONDS
ctest --preset plain -j "$test_jobs" -L build
echo "== plain tests ran in $((SECONDS - phase)) s"

echo "== asan build"
phase=$SECONDS
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
echo "== asan built in $((SECONDS - phase)) s; every other test, with clazy alongside"
# clazy (scripts/clazy.sh, on the plain build's commands) takes one core while the tests run:
# they mostly wait on emulated devices and timers, as the ctest jobs beside each other already do.
clazy_log=$(mktemp "${TMPDIR:-/tmp}/tavrel-clazy-log.XXXXXX")
trap 'rm -f "$clazy_log"' EXIT
clazy_start=$SECONDS
(
  status=0
  CLAZY_JOBS=1 bash scripts/clazy.sh build-test-plain >"$clazy_log" 2>&1 || status=$?
  echo "== clazy ran in $((SECONDS - clazy_start)) s" >>"$clazy_log"
  exit "$status"
) &
clazy=$!
phase=$SECONDS
ctest --preset asan -j "$test_jobs"
echo "== asan tests ran in $((SECONDS - phase)) s"

echo "== ThreadSanitizer"
bash scripts/tsan.sh

echo "== fuzzing"
phase=$SECONDS
# 20 s a target here; README gives the longer run (FUZZ_SECONDS, scripts/fuzz.sh).
bash scripts/fuzz.sh "${FUZZ_SECONDS:-20}"
echo "== fuzzing ran in $((SECONDS - phase)) s"

echo "== clazy"
analysed=0
wait "$clazy" || analysed=$?
cat "$clazy_log"
((analysed == 0))

echo "== all tests passed in $((SECONDS - start)) s"
