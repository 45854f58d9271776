#!/usr/bin/env bash
# The main demonstration: builds the orvane tool and the generic plug-in
# library, bakes examples/demo.json into build/OrvaneDemo.so and shows what a
# host sees of it, then renders the example song through Debian's Kars synth
# (a third-party VST 2 plug-in) to build/demo.wav - Orvane's engine does not
# yet turn a project into sound.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS="-O2 -g"
cmake --build build --target orvane orvane-vst

build/orvane bake examples/demo.json -o build/OrvaneDemo.so
build/orvane info build/OrvaneDemo.so

# Kars' volume parameter (index 2) is lowered so that chords stay below full scale.
build/orvane render /usr/lib/vst/Kars-vst.so --midi examples/demo.mid --param 2=0.4 \
  -o build/demo.wav

echo "The baked plug-in is $(pwd)/build/OrvaneDemo.so"
echo "The rendered song is in $(pwd)/build/demo.wav"
