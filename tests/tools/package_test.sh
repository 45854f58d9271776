#!/usr/bin/env bash
# Packs a build tree as the Debian package, unpacks it into a scratch root
# with dpkg -x and runs the installed program on the installed plug-ins.
# Usage: package_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

(cd "$scratch" && cpack --config "$build/CPackConfig.cmake" -B "$scratch" >cpack.log) ||
  { cat "$scratch/cpack.log"; exit 1; }
deb=$(echo "$scratch"/orvane_*_amd64.deb)
test -f "$deb"
# Dependencies come from the libraries the binaries use.
dpkg-deb -f "$deb" Depends | grep -q 'libc6'
dpkg-deb -f "$deb" Depends | grep -q 'libstdc++6'

dpkg -x "$deb" "$scratch/root"
usr=$scratch/root/usr
"$usr/bin/orvane" --version | grep -qx "orvane [0-9.]*"
info=$("$usr/bin/orvane" info "$usr/lib/lxvst/OrvaneDemoSynth.so")
grep -q "OvSy" <<<"$info" || { echo "$info"; exit 1; }
# The installed program bakes from the generic library installed with it.
"$usr/bin/orvane" bake "$usr/share/doc/orvane/examples/demo.json" -o "$scratch/Demo.so" >/dev/null
"$usr/bin/orvane" info "$scratch/Demo.so" >/dev/null
test -f "$usr/share/doc/orvane/README.md"
# The demo synthesiser's LV2 bundle, as lilv lists it, and one baked by the
# installed program from the wrapper installed with it.
lv2info=$(LV2_PATH="$usr/lib/lv2" lv2info urn:orvane:lv2:4f765379:Orvane_Demo_Synth 2>&1)
grep -q "Symbol:      Waveform" <<<"$lv2info" || { echo "$lv2info"; exit 1; }
test ! -e "$usr/lib/lv2/OrvaneDemoSynth.lv2/orvane-lv2.so.debug"
"$usr/bin/orvane" bake "$usr/share/doc/orvane/examples/demo.json" --lv2 -o "$scratch/Demo.lv2" \
  >/dev/null
# Every example bakes and plays with the installed program alone, the one
# whose module library comes with the package included.
for example in "$usr"/share/doc/orvane/examples/*.json; do
  name=$(basename "$example" .json)
  "$usr/bin/orvane" bake "$example" -o "$scratch/$name.so" >/dev/null
  "$usr/bin/orvane" render "$scratch/$name.so" -o "$scratch/$name.wav" --seconds 0.2 \
    >/dev/null 2>"$scratch/render.log" || { echo "$name:"; cat "$scratch/render.log"; exit 1; }
done
test -f "$usr/share/doc/orvane/examples/external-gain.json"
# Installed without debug information, which stays in the build tree.
for binary in "$usr/bin/orvane" "$usr/lib/lxvst/orvane-vst.so" \
  "$usr/lib/lv2/OrvaneDemoSynth.lv2/OrvaneDemoSynth.so"; do
  if readelf -S "$binary" | grep -q '\.debug_info'; then echo "$binary is not stripped"; exit 1; fi
done
# Module libraries build against the installed interface alone.
cc -std=c11 -fPIC -shared -Wl,--no-undefined -I"$usr/include/orvane" -o "$scratch/gain.ovm" \
  "$usr/share/doc/orvane/sdk/example_modules.c" "$usr/share/doc/orvane/sdk/example_panels.c" -lm
test -f "$usr/share/bash-completion/completions/orvane"
bash -n "$usr/share/bash-completion/completions/orvane"
echo "package $(basename "$deb") installs and runs"
