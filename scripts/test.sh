#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: a plain build and a build under
# AddressSanitizer and UndefinedBehaviorSanitizer through ctest, the device layer and the
# session under ThreadSanitizer, and each fuzz target for a bounded time (FUZZ_SECONDS, 60 by
# default).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

start=$SECONDS
jobs=$(nproc)
for variant in plain asan; do
  dir=build-test-$variant
  flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
  [[ $variant == asan ]] && flags+=(-DTAVREL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
  echo "== $variant build"
  cmake -S . -B "$dir" -G Ninja "${flags[@]}" >/dev/null
  cmake --build "$dir" -j "$jobs"
  echo "== $variant tests"
  ctest --test-dir "$dir" --output-on-failure
done

echo "== ThreadSanitizer"
bash scripts/tsan.sh

echo "== fuzzing"
bash scripts/fuzz.sh "${FUZZ_SECONDS:-60}"

echo "== all tests passed in $((SECONDS - start)) s"
