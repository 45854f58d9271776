#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need, when any is
# missing; given package names, those instead. Safe to run again; needs root
# (or sudo) only when something is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ ccache pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev     # projects as JSON
  dpf-plugins-vst        # third-party VST 2 plug-ins the host tests play
  dragonfly-reverb-vst   # a hosted plug-in that keeps its state as chunks
  libgl1-mesa-dri        # OpenGL in Xvfb for hosted plug-ins' own editors
  alsa-utils             # WAV files under /usr/share/sounds/alsa
  planetblupi-music-midi # format-1 MIDI files
  graphviz               # orvane graph draws with dot
  dpkg-dev file          # the Debian package: dpkg-shlibdeps finds its dependencies
  libx11-dev libpng-dev  # the editor's window and pictures
  xvfb xdotool           # the editor's tests in a real X server
  libfreetype-dev libfontconfig-dev fonts-liberation2 # skin text; fonts pinned for tests
  lv2-dev liblilv-dev    # the LV2 bundle's headers and schemas; the tests' LV2 host
  lilv-utils sordi lv2file jalv # lv2info, sord_validate and hosts that load the bundle
  timgm6mb-soundfont fluidr3mono-gm-soundfont # SF2 and SF3 banks the sound-font tests read
  fluidsynth libfluidsynth-dev # the sound-font players are measured against it
  librtaudio-dev librtmidi-dev libjack-jackd2-dev # orvane play: sound devices, MIDI ports, JACK
  jackd2                 # a JACK server with its dummy driver for the play tests
)
if (($#)); then packages=("$@"); fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -q || true
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
