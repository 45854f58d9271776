#!/usr/bin/env bash
# Builds the release and packs it as a Debian package:
# build/orvane_<version>_amd64.deb (the program, orvane-vst.so and the demo
# synthesiser in /usr/lib/lxvst, its LV2 bundle in /usr/lib/lv2, the
# documents, bash completion).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh

cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build-release -j "$(nproc)" --target orvane orvane-vst orvane_demo_plugin \
  orvane-lv2 orvane_demo_bundle example_modules
mkdir -p build
cpack --config build-release/CPackConfig.cmake -B build
rm -rf build/_CPack_Packages
ls -l build/orvane_*_amd64.deb
