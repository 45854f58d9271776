#!/usr/bin/env bash
# The main demonstration: builds the orvane tool and the generic plug-in
# library as they ship (the Release configuration, in build-release/), bakes
# the demo synthesiser (examples/demo-synth.json: sixteen voices of saw
# oscillator, ladder filter and ADSR-driven VCA, panned to a stereo output)
# into build-release/OrvaneDemoSynth.so, shows what a host sees of it, and
# renders the example phrase examples/demo.mid through it to
# build-release/demo.wav.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh

cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build-release --target orvane orvane-vst

build-release/orvane bake examples/demo-synth.json -o build-release/OrvaneDemoSynth.so
build-release/orvane info build-release/OrvaneDemoSynth.so
build-release/orvane render build-release/OrvaneDemoSynth.so --midi examples/demo.mid \
  --rate 44100 -o build-release/demo.wav

# A project that plays itself: a step sequencer's bass line through a
# filter and two drawn envelopes, with a drum sequencer on the MIDI output.
build-release/orvane render examples/step-bass.json --rate 44100 --seconds 8 \
  -o build-release/step-bass.wav

echo "The baked plug-in is $(pwd)/build-release/OrvaneDemoSynth.so" \
  "($(du -h build-release/OrvaneDemoSynth.so | cut -f1); its debug information is in" \
  "build-release/orvane-vst.so.debug)"
echo "The rendered phrase is in $(pwd)/build-release/demo.wav"
echo "The step sequencer's bass line is in $(pwd)/build-release/step-bass.wav"
