#!/usr/bin/env bash
# Orvane beside its peers, in one run on one machine: the demo synthesiser's
# voice (saw -> resonant low-pass -> VCA/ADSR -> pan) held at 16, 64 and 256
# voices in Orvane and in Csound (vco2 -> zdf_2pole -> madsr -> pan2, ksmps
# 32), and one MIDI file played by Orvane's demo synthesiser and by
# FluidSynth. Prints nanoseconds per voice-sample and the ratios as one table.
#
# Csound, FluidSynth and its General MIDI sound font come from Debian and are
# installed here when missing (they are not test dependencies).
#
#   bash scripts/bench-peers.sh                # best of 3 runs of each
#   REPEATS=5 HELD=10 MIDI=song.mid bash scripts/bench-peers.sh
#
# Every render runs on one thread and is timed the same way for all three:
# the processor time (user and system) of the whole program, rendering two
# lengths, so that the difference leaves out start-up (loading, compiling,
# baking, the sound font). On an idle machine that equals the wall time of
# the render; on a busy one it leaves out the time other work took. Every
# time is the best (lowest) of REPEATS runs.
set -euo pipefail
cd "$(dirname "$0")/.."

REPEATS=${REPEATS:-3}
HELD=${HELD:-5}           # seconds the notes are held
MIDI=${MIDI:-examples/demo.mid}
PLAYS=${PLAYS:-4}         # extra plays of the MIDI file that FluidSynth's time is taken from
SOUNDFONT=/usr/share/sounds/sf2/FluidR3_GM.sf2
RATE=44100

scripts/deps.sh
scripts/deps.sh csound fluidsynth fluid-soundfont-gm

cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-release --target orvane orvane-vst
orvane=build-release/orvane

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

lowest() { sort -g | head -n 1; }
# $1 divided by $2, to two places.
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

# The demo synthesiser twice over inside one main container, each copy with
# 128 voices: 128 held notes sound as 256 voices (a container holds at most
# 200). Made from examples/demo-synth.json so that the voice stays the same.
awk '
  /"type": "Container", "name": "synth"/ { inside = 1; depth = 0 }
  inside {
    line = $0
    sub(/"name": "synth", "title": "[^"]*"/, "\"name\": \"NAME\"", line)
    sub(/"Polyphony": [0-9]+/, "\"Polyphony\": 128", line)
    body = body line "\n"
    depth += gsub(/[\[{]/, "&") - gsub(/[\]}]/, "&")
    if (depth < 0) { inside = 0 }
  }
  END {
    sub(/\n$/, "", body)
    sub(/[ ]*}$/, "", body)
    print "{\"version\": 95960, \"plugin_id\": \"OvSy\", \"root\": {\"modules\": [{"
    print "  \"type\": \"Container\", \"name\": \"main\", \"plug_values\": {\"Polyphony\": 1},"
    print "  \"io\": [{\"name\": \"MIDI In\", \"direction\": \"in\", \"datatype\": \"midi\"},"
    print "         {\"name\": \"Left\", \"direction\": \"out\", \"datatype\": \"audio\"},"
    print "         {\"name\": \"Right\", \"direction\": \"out\", \"datatype\": \"audio\"}],"
    print "  \"modules\": ["
    for (copy = 1; copy <= 2; ++copy) {
      text = body
      gsub(/NAME/, "voices" copy, text)
      print "{" text "}" (copy == 1 ? "," : "")
    }
    print "  ],"
    print "  \"connections\": ["
    for (copy = 1; copy <= 2; ++copy) {
      printf "    \"io.MIDI In -> voices%d.MIDI In\", \"voices%d.Left -> io.Left\", ", copy, copy
      printf "\"voices%d.Right -> io.Right\"%s\n", copy, (copy == 1 ? "," : "")
    }
    print "  ]}]}}"
  }' examples/demo-synth.json >"$work/demo-synth-256.json"

# Processor time in ns of running "$@", its output discarded.
cpu_time() {
  local TIMEFORMAT='%3U %3S' times
  times=$({ time "$@" >/dev/null 2>&1; } 2>&1)
  awk -v t="$times" 'BEGIN { split(t, part, " "); printf "%.0f\n", (part[1] + part[2]) * 1e9 }'
}
best_time() {
  for _ in $(seq "$REPEATS"); do cpu_time "$@"; done | lowest
}

# Orvane: $1 project, $2 notes held; prints ns per voice-sample, counting the
# voices that `orvane bench` says sound, and that count.
orvane_held() {
  local short long voices
  short=$(best_time "$orvane" bench "$1" --voices "$2" --seconds 1)
  long=$(best_time "$orvane" bench "$1" --voices "$2" --seconds $((1 + HELD)))
  voices=$("$orvane" bench "$1" --voices "$2" --seconds 1 |
    sed -n 's/.*mean voices sounding: \([0-9.]*\).*/\1/p')
  awk -v d=$((long - short)) -v v="$voices" -v s="$HELD" -v r=$RATE \
    'BEGIN { printf "%.2f %s\n", d / (v * s * r), v }'
}

# Csound: $1 voices, $2 seconds held; writes the piece to $work/held.csd. The
# keys are those `orvane bench` holds: a semitone apart from key 24, wrapping
# at 128.
csound_piece() {
  {
    cat <<'EOF'
<CsoundSynthesizer>
<CsOptions>
-n -d -m0
</CsOptions>
<CsInstruments>
sr = 44100
ksmps = 32
nchnls = 2
0dbfs = 1
instr 1
  kenv madsr 0.001, 0.5, 0.7, 0.3
  asaw vco2 0.2, cpsmidinn(p4)
  alow zdf_2pole asaw, 3520, 2, 0
  aleft, aright pan2 alow * kenv, 0.5
  outs aleft, aright
endin
</CsInstruments>
<CsScore>
EOF
    for ((v = 0; v < $1; ++v)); do echo "i 1 0 $2 $(((24 + v) % 128))"; done
    echo "</CsScore>"
    echo "</CsoundSynthesizer>"
  } >"$work/held.csd"
}

# ns per voice-sample: the longer render less the shorter one, over the voice
# samples that the difference holds.
csound_held() {
  csound_piece "$1" 1
  local short long
  short=$(best_time csound "$work/held.csd")
  csound_piece "$1" $((1 + HELD))
  long=$(best_time csound "$work/held.csd")
  awk -v d=$((long - short)) -v v="$1" -v s="$HELD" -v r=$RATE \
    'BEGIN { printf "%.2f", d / (v * s * r) }'
}

echo "Measuring: best of $REPEATS runs each, notes held for $HELD s at $RATE Hz"
declare -A orvane_ns orvane_voices csound_ns
for voices in 16 64 256; do
  if ((voices > 128)); then
    read -r ns sounding < <(orvane_held "$work/demo-synth-256.json" $((voices / 2)))
  else
    read -r ns sounding < <(orvane_held examples/demo-synth.json "$voices")
  fi
  orvane_ns[$voices]=$ns
  orvane_voices[$voices]=$sounding
  csound_ns[$voices]=$(csound_held "$voices")
  echo "  $voices voices: Orvane $ns ns ($sounding sounding), Csound ${csound_ns[$voices]} ns"
done

# The MIDI file: FluidSynth cannot say how many voices it sounds (a General
# MIDI note may take two or more), so both sides are given per note held:
# the file's mean number of held notes, as `orvane bench` reads it.
# Orvane's start-up (with the 64 voices that `orvane bench` gives the
# project either way) is taken from a render of almost nothing.
midi_report=$("$orvane" bench examples/demo-synth.json --midi "$MIDI")
midi_seconds=$(sed -n 's/^Rendered \([0-9.]*\) s.*/\1/p' <<<"$midi_report")
midi_notes=$(sed -n 's/.*mean notes held: \([0-9.]*\).*/\1/p' <<<"$midi_report")
start_up=$(best_time "$orvane" bench examples/demo-synth.json --voices 64 --seconds 0.01)
played=$(best_time "$orvane" bench examples/demo-synth.json --midi "$MIDI")
orvane_midi=$(awk -v d=$((played - start_up)) -v s="$midi_seconds" -v n="$midi_notes" \
  -v r=$RATE 'BEGIN { printf "%.2f", d / (s * r * n) }')
fluid=(fluidsynth -ni -q -R 0 -C 0 -r "$RATE" -T raw -F /dev/null "$SOUNDFONT")
extra=()
for ((p = 0; p < PLAYS; ++p)); do extra+=("$MIDI"); done
once=$(best_time "${fluid[@]}" "$MIDI")
more=$(best_time "${fluid[@]}" "$MIDI" "${extra[@]}")
fluid_midi=$(awk -v d=$((more - once)) -v p="$PLAYS" -v s="$midi_seconds" -v n="$midi_notes" \
  -v r=$RATE 'BEGIN { printf "%.2f", d / (p * s * r * n) }')

echo
echo "| notes | Orvane voices sounding | Orvane ns per voice-sample | Csound ns per voice-sample | Csound / Orvane |"
echo "|---|---|---|---|---|"
for voices in 16 64 256; do
  echo "| $voices | ${orvane_voices[$voices]} | ${orvane_ns[$voices]} | ${csound_ns[$voices]} |" \
    "$(ratio "${csound_ns[$voices]}" "${orvane_ns[$voices]}") |"
done
echo
echo "| MIDI file | mean notes held | Orvane ns per note-sample | FluidSynth ns per note-sample | FluidSynth / Orvane |"
echo "|---|---|---|---|---|"
echo "| $MIDI | $midi_notes | $orvane_midi | $fluid_midi | $(ratio "$fluid_midi" "$orvane_midi") |"
