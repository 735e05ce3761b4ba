#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz/ with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer on) and runs each for a bounded time from a scratch copy of its seed
# corpus. Any crash, leak, broken invariant or sanitizer report fails the run; the input that
# showed it is kept under build-fuzz/artifacts/.
#
# Usage: scripts/fuzz.sh [SECONDS [TARGET...]]
#   SECONDS: fuzzing time per target (default: $FUZZ_SECONDS, else 60)
#   TARGET:  reportdescriptor, dispatch, serial, keynames, capture (default: all of them)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-${FUZZ_SECONDS:-60}}
if ! [[ $seconds =~ ^[0-9]+$ ]] || ((seconds < 1)); then
  echo "fuzz.sh: the time per target must be a whole number of seconds, not '$seconds'" >&2
  exit 2
fi
shift $(($# > 0 ? 1 : 0))
targets=("$@")
((${#targets[@]})) || targets=(reportdescriptor dispatch serial keynames capture config_file input_events)

bash scripts/install-deps.sh --fuzz

build=build-fuzz
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
echo "== configure and build the fuzz targets in $build"
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTAVREL_FUZZ=ON -DTAVREL_BUILD_TESTS=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${targets[@]/#/fuzz_}"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
artifacts=$build/artifacts
mkdir -p "$artifacts"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# A smaller quarantine than the default keeps the resident size of a long run well under the
# fuzzer's memory limit; freed memory is still poisoned until it is handed out again.
export ASAN_OPTIONS=detect_leaks=1:quarantine_size_mb=64

failed=()
for target in "${targets[@]}"; do
  seeds=tests/fuzz/corpus/$target
  if [[ ! -d $seeds ]]; then
    echo "fuzz.sh: no seed corpus $seeds" >&2
    exit 2
  fi
  # The fuzzer adds what it finds to its corpus folder: never the repository's.
  corpus=$scratch/$target
  mkdir -p "$corpus"
  cp "$seeds"/* "$corpus"/
  log=$build/fuzz_$target.log
  echo "== fuzz_$target for ${seconds} s (log: $log)"
  # -timeout bounds one input; the outer timeout stops a run that hangs outside any input.
  dict=()
  [[ -f tests/fuzz/fuzz_$target.dict ]] && dict=(-dict="tests/fuzz/fuzz_$target.dict")
  if timeout --kill-after=10 $((seconds + 120)) "$build/bin/fuzz_$target" "${dict[@]}" \
      -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$artifacts/$target-" "$corpus" >"$log" 2>&1; then
    grep -E '^#[0-9]+[[:space:]]+DONE' "$log" || true
  else
    echo "!! fuzz_$target found a problem; the end of its log:"
    tail -n 40 "$log"
    failed+=("$target")
  fi
done

if ((${#failed[@]})); then
  echo "== findings in: ${failed[*]} (inputs under $artifacts/)"
  exit 1
fi
echo "== no findings in: ${targets[*]}"
