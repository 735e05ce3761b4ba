#!/usr/bin/env bash
# Builds the device layer's test programs under ThreadSanitizer (the tsan preset, in build-tsan)
# and runs them through ctest. The suppressions (tests/hid/tsan.supp, named by the preset) name
# only code outside ours: umockdev's worker thread and GLib's socket code, which ThreadSanitizer
# cannot see synchronise.
set -euo pipefail
cd "$(dirname "$0")/.."

[[ -n ${TAVREL_DEPS_CHECKED:-} ]] || bash scripts/install-deps.sh

# Line tables are enough for ThreadSanitizer's reports (the preset builds with -g1).
cmake --preset tsan >/dev/null

targets=(test_reportdescriptor test_platform_udev test_platform_hidraw test_platform_input
         test_hidunits test_hid_devices test_hid_watcher test_hid_nodes test_session)

start=$SECONDS
cmake --build --preset tsan -j "$(nproc)" --target "${targets[@]}"
echo "== built in $((SECONDS - start)) s"

pattern="^($(IFS='|'; echo "${targets[*]}"))\$"
start=$SECONDS
timeout 1800 ctest --preset tsan -R "$pattern" -j "$(($(nproc) * 2))"
echo "== tests ran in $((SECONDS - start)) s"
