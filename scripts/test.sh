#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: a plain build and a build under
# AddressSanitizer and UndefinedBehaviorSanitizer through ctest, the device layer and the
# session under ThreadSanitizer, and each fuzz target for a bounded time (FUZZ_SECONDS, 60 by
# default).
#
# ctest runs tests side by side: most of them wait on emulated keys and timers rather than
# compute. Tests that share something (the user's "/TestHook.<uid>" name) hold a resource lock
# and never run together.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

start=$SECONDS
jobs=$(nproc)
test_jobs=$((jobs * 2))
for variant in plain asan; do
  dir=build-test-$variant
  # Line tables are enough for the sanitizers' and GoogleTest's reports; full debug information
  # would cost a third of the compile time.
  flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG")
  [[ $variant == asan ]] && flags=(-DTAVREL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-g1")
  echo "== $variant build"
  phase=$SECONDS
  cmake -S . -B "$dir" -G Ninja "${flags[@]}" >/dev/null
  cmake --build "$dir" -j "$jobs"
  echo "== $variant built in $((SECONDS - phase)) s; its tests"
  phase=$SECONDS
  ctest --test-dir "$dir" --output-on-failure -j "$test_jobs"
  echo "== $variant tests ran in $((SECONDS - phase)) s"
done

echo "== ThreadSanitizer"
bash scripts/tsan.sh

echo "== fuzzing"
bash scripts/fuzz.sh "${FUZZ_SECONDS:-60}"

echo "== all tests passed in $((SECONDS - start)) s"
