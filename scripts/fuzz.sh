#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz/ with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer on) and runs each for a bounded time from a scratch copy of its seed
# corpus. Any crash, leak, broken invariant or sanitizer report fails the run; the input that
# showed it is kept under build-fuzz/artifacts/.
#
# Usage: scripts/fuzz.sh [SECONDS [TARGET...]]
#   SECONDS: fuzzing time per target (default: $FUZZ_SECONDS, else 60)
#   TARGET:  a folder name under tests/fuzz/corpus/, one per target (default: all of them)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-${FUZZ_SECONDS:-60}}
if ! [[ $seconds =~ ^[0-9]+$ ]] || ((seconds < 1)); then
  echo "fuzz.sh: the time per target must be a whole number of seconds, not '$seconds'" >&2
  exit 2
fi
shift $(($# > 0 ? 1 : 0))
targets=("$@")
if ((${#targets[@]} == 0)); then
  for corpus in tests/fuzz/corpus/*/; do targets+=("$(basename "$corpus")"); done
fi

[[ -n ${TAVREL_DEPS_CHECKED:-} ]] || bash scripts/install-deps.sh --fuzz

build=build-fuzz
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
echo "== configure and build the fuzz targets in $build (the fuzz preset: clang, the targets alone)"
cmake --preset fuzz "${launcher[@]}" >/dev/null
cmake --build --preset fuzz -j "$(nproc)" --target "${targets[@]/#/fuzz_}"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
artifacts=$build/artifacts
mkdir -p "$artifacts"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# A smaller quarantine than the default keeps the resident size of a long run well under the
# fuzzer's memory limit; freed memory is still poisoned until it is handed out again.
export ASAN_OPTIONS=detect_leaks=1:quarantine_size_mb=64

# Each target runs on a core of its own for its whole time; as many at once as there are cores
# (FUZZ_JOBS), as a fuzzer keeps one core busy.
parallel=${FUZZ_JOBS:-$(nproc)}
fuzz_one() {
  local target=$1
  local seeds=tests/fuzz/corpus/$target
  # The fuzzer adds what it finds to its corpus folder: never the repository's.
  local corpus=$scratch/$target
  mkdir -p "$corpus"
  cp "$seeds"/* "$corpus"/
  local log=$build/fuzz_$target.log
  local dict=()
  [[ -f tests/fuzz/fuzz_$target.dict ]] && dict=(-dict="tests/fuzz/fuzz_$target.dict")
  # -timeout bounds one input; the outer timeout stops a run that hangs outside any input.
  timeout --kill-after=10 $((seconds + 120)) "$build/bin/fuzz_$target" "${dict[@]}" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$artifacts/$target-" "$corpus" >"$log" 2>&1
}

for target in "${targets[@]}"; do
  if [[ ! -d tests/fuzz/corpus/$target ]]; then
    echo "fuzz.sh: no seed corpus tests/fuzz/corpus/$target" >&2
    exit 2
  fi
done
declare -A pid_of
for target in "${targets[@]}"; do
  while (($(jobs -rp | wc -l) >= parallel)); do
    wait -n || true
  done
  echo "== fuzz_$target for ${seconds} s (log: $build/fuzz_$target.log)"
  fuzz_one "$target" &
  pid_of[$target]=$!
done

failed=()
for target in "${targets[@]}"; do
  if wait "${pid_of[$target]}"; then
    grep -E '^#[0-9]+[[:space:]]+DONE' "$build/fuzz_$target.log" | sed "s/^/fuzz_$target: /" || true
  else
    echo "!! fuzz_$target found a problem; the end of its log:"
    tail -n 40 "$build/fuzz_$target.log"
    failed+=("$target")
  fi
done

if ((${#failed[@]})); then
  echo "== findings in: ${failed[*]} (inputs under $artifacts/)"
  exit 1
fi
echo "== no findings in: ${targets[*]}"
