#!/usr/bin/env bash
# Fuzzes the readers of untrusted input with libFuzzer (built with clang,
# with AddressSanitizer and UndefinedBehaviorSanitizer): project streams
# (whose documents also get their engine graph built), JSON projects, host
# state chunks, an LV2 instance's saved state, bank and program files, the
# project appended to a plug-in library, WAVE files played, MIDI files played,
# SoundFont banks played, a hosted plug-in's bank and program files, and skin
# images and text files.
# Usage: scripts/fuzz.sh [SECONDS] [--fresh] [TARGET...]
# Each target runs SECONDS (default 10); TARGET is archive, text, chunk,
# lv2_state, fx_file, resource, wav_player, midi_player, soundfont, vst_bank, image
# or skin_text, all by default. The corpora in build-fuzz/corpus grow from run to run; --fresh
# starts from the seeds alone, in a temporary folder.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=10
fresh=false
targets=()
for argument in "$@"; do
  case $argument in
    --fresh) fresh=true ;;
    [0-9]*) seconds=$argument ;;
    *) targets+=("$argument") ;;
  esac
done
if ((${#targets[@]} == 0)); then targets=(archive text chunk lv2_state fx_file resource wav_player midi_player soundfont vst_bank image skin_text); fi
dir=build-fuzz

scripts/deps.sh clang libclang-rt-14-dev

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S fuzz -B "$dir" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS="-O1 -g" "${launcher[@]}" >/dev/null
cmake --build "$dir" -j "$(nproc)" --target make_fuzz_seeds "${targets[@]/%/_fuzzer}"

corpus=$dir/corpus
if $fresh; then
  corpus=$(mktemp -d)
  trap 'rm -rf "$corpus"' EXIT
fi
# external-gain.json names a module type that a library in a build tree gives;
# gm-player.json carries a whole General MIDI bank, megabytes for every run.
"$dir/make_fuzz_seeds" "$corpus" fuzz/seeds/*.json \
  $(ls examples/*.json | grep -v -e /external-gain.json -e /gm-player.json)
mkdir -p "$corpus/image" "$corpus/skin_text"
cp fuzz/seeds/skins/*.png fuzz/seeds/skins/*.bmp "$corpus/image/"
cp fuzz/seeds/skins/*.txt "$corpus/skin_text/"
for target in "${targets[@]}"; do
  log=$dir/$target.log
  # The entropic schedule spends most of the time weighing features when the
  # readers show tens of thousands of them; the plain one runs 3-4x faster.
  if ! ASAN_OPTIONS=abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$dir/${target}_fuzzer" -max_total_time="$seconds" -max_len=65536 -entropic=0 \
    -print_final_stats=1 \
    -artifact_prefix="$dir/${target}-" "$corpus/$target" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "${target}_fuzzer failed; its log is $log"
    exit 1
  fi
  echo "${target}_fuzzer: $(grep -E '^stat::(number_of_executed_units|average_exec_per_sec)' "$log" |
    tr -s ' ' | tr '\n' ' ')"
done
