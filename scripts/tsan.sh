#!/usr/bin/env bash
# Builds the device layer's test programs under ThreadSanitizer (in build-tsan) and runs them
# through ctest. The suppressions (tests/hid/tsan.supp) name only code outside ours: umockdev's
# worker thread and GLib's socket code, which ThreadSanitizer cannot see synchronise.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

dir=build-tsan
# Line tables are enough for ThreadSanitizer's reports.
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" \
  -DTAVREL_TSAN=ON >/dev/null

targets=(test_reportdescriptor test_platform_udev test_platform_hidraw test_platform_input
         test_hidunits test_hid_devices test_hid_scanfaults test_hid_nodes)
# The device session's tests, where the tree has them.
if [[ -d tests/session ]]; then
  mapfile -t session < <(ninja -C "$dir" -t targets all | sed -n 's/^\(test_session[A-Za-z0-9_]*\): .*/\1/p' | sort -u)
  targets+=("${session[@]}")
fi

start=$SECONDS
cmake --build "$dir" -j "$(nproc)" --target "${targets[@]}"
echo "== built in $((SECONDS - start)) s"

export TSAN_OPTIONS="suppressions=$PWD/tests/hid/tsan.supp:halt_on_error=1:second_deadlock_stack=1"
pattern="^($(IFS='|'; echo "${targets[*]}"))\$"
start=$SECONDS
timeout 1800 ctest --test-dir "$dir" -R "$pattern" --output-on-failure --timeout 600 -j "$(($(nproc) * 2))"
echo "== tests ran in $((SECONDS - start)) s"
