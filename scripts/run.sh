#!/usr/bin/env bash
# Installs what is missing, builds Tavrel and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
bash scripts/install-udev-rule.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVREL_BUILD_TESTS=OFF >/dev/null
cmake --build build -j "$(nproc)"
exec build/bin/tavrel "$@"
