#!/usr/bin/env bash
# The main demonstration: builds the orvane tool and the generic plug-in
# library, bakes the demo synthesiser (examples/demo-synth.json: sixteen
# voices of saw oscillator, ladder filter and ADSR-driven VCA, panned to a
# stereo output) into build/OrvaneDemoSynth.so, shows what a host sees of it,
# and renders the example phrase examples/demo.mid through it to
# build/demo.wav.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS="-O2 -g"
cmake --build build --target orvane orvane-vst

build/orvane bake examples/demo-synth.json -o build/OrvaneDemoSynth.so
build/orvane info build/OrvaneDemoSynth.so
build/orvane render build/OrvaneDemoSynth.so --midi examples/demo.mid --rate 44100 \
  -o build/demo.wav

echo "The baked plug-in is $(pwd)/build/OrvaneDemoSynth.so"
echo "The rendered phrase is in $(pwd)/build/demo.wav"
