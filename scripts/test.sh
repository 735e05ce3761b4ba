#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test twice: a plain build, and a build
# under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

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
