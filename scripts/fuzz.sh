#!/usr/bin/env bash
# Fuzzes the project-stream reader with libFuzzer (built with clang, with
# AddressSanitizer and UndefinedBehaviorSanitizer).
# Usage: scripts/fuzz.sh [SECONDS] [--fresh]
# SECONDS defaults to 10. The corpus in build-fuzz/corpus grows from run to
# run; --fresh starts from the seed projects alone, in a temporary folder.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
dir=build-fuzz

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S tests/document/fuzz -B "$dir" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS="-O1 -g" "${launcher[@]}" >/dev/null
cmake --build "$dir" -j "$(nproc)"

corpus=$dir/corpus
if [[ ${2:-} == --fresh ]]; then
  corpus=$(mktemp -d)
  trap 'rm -rf "$corpus"' EXIT
fi
mkdir -p "$corpus"
"$dir/make_fuzz_seeds" "$corpus" tests/document/fuzz/seeds/*.json
ASAN_OPTIONS=abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  "$dir/archive_fuzzer" -max_total_time="$seconds" -max_len=65536 -print_final_stats=1 \
  -artifact_prefix="$dir/" "$corpus"
