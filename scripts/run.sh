#!/usr/bin/env bash
# Installs what is missing, builds Tavrel and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
bash scripts/install-udev-rule.sh
cmake --preset run >/dev/null
cmake --build --preset run -j "$(nproc)"
exec build/bin/tavrel "$@"
