#!/usr/bin/env bash
# Orvane beside its peers, in one run on one machine: three synthesiser
# voices held at 1, 16, 64 and 256 voices, each in Orvane and in FAUST (the
# same voice written in FAUST, all voices fused in one compute, built with
# g++ at -O2 and at -O3 -march=native, timed by bench/peers/faust_driver.cpp):
#   demo synth:  saw -> Moog ladder low-pass -> ADSR gain -> pan
#   SV filter:   saw -> state-variable low-pass -> ADSR gain -> pan, also in
#                Csound (vco2 -> zdf_2pole -> madsr -> pan2, ksmps 32)
#   no filter:   saw -> ADSR gain -> pan
# and one MIDI file played by Orvane's demo synthesiser and by FluidSynth.
# Prints nanoseconds per voice-sample and the ratios as tables. Before that,
# the lane parity tests run in a tree built for x86-64-v3 (AVX2 and FMA for
# every source), where the CPU has it: a packager's flags must not change a
# sample. Never run in CI.
#
# Csound, FAUST, FluidSynth and its General MIDI sound font come from Debian
# and are installed here when missing (they are not test dependencies).
#
#   bash scripts/bench-peers.sh                # best of 3 runs of each
#   REPEATS=5 HELD=10 MIDI=song.mid COUNTS="1 64" PARITY_V3=0 bash scripts/bench-peers.sh
#
# Orvane and Csound renders run on one thread and are timed the same way:
# the processor time of the whole program (perf's task clock), rendering two
# lengths, so that the difference leaves out start-up (loading, compiling,
# baking, the sound font). On an idle machine that equals the wall time of
# the render; on a busy one it leaves out the time other work took. The
# FAUST driver takes the processor time of its compute calls alone. Every
# time is the best (lowest) of REPEATS runs.
set -euo pipefail
cd "$(dirname "$0")/.."

REPEATS=${REPEATS:-3}
HELD=${HELD:-5}           # seconds 64 notes are held; fewer are held longer
MIDI=${MIDI:-examples/demo.mid}
PLAYS=${PLAYS:-4}         # extra plays of the MIDI file that FluidSynth's time is taken from
COUNTS=${COUNTS:-"1 16 64 256"}
SOUNDFONT=/usr/share/sounds/sf2/FluidR3_GM.sf2
RATE=44100

scripts/deps.sh
scripts/deps.sh csound faust fluidsynth fluid-soundfont-gm

# The optimised tree every developer builds (-O2), as the figures are quoted.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS="-O2 -g1" >/dev/null
cmake --build build --target orvane orvane-vst
orvane=build/orvane

# The lanes' parity with the one-voice path where every source may use AVX2
# and FMA: contraction must stay off wherever the parity rests on it.
# PARITY_V3=0 leaves this tree out (it is a full build of its own).
if [[ ${PARITY_V3:-1} == 0 ]]; then
  echo "The x86-64-v3 parity run is left out (PARITY_V3=0)"
elif grep -qw avx2 /proc/cpuinfo && grep -qw fma /proc/cpuinfo; then
  cmake -S . -B build-x86-64-v3 -G Ninja -DCMAKE_BUILD_TYPE=None \
    -DCMAKE_CXX_FLAGS="-O2 -march=x86-64-v3" -DOV_BENCHMARKS=OFF >/dev/null
  cmake --build build-x86-64-v3 --target orvane_modules_tests
  build-x86-64-v3/orvane_modules_tests --gtest_filter='VoiceLanes*' --gtest_brief=1
else
  echo "This CPU lacks AVX2 or FMA: the x86-64-v3 parity run is skipped"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

lowest() { sort -g | head -n 1; }
# $1 divided by $2, to two places ("-" when either is missing).
ratio() {
  if [[ $1 == - || $2 == - ]]; then
    echo -
    return
  fi
  awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'
}

voices=(moog svf none)
declare -A title project filter
title[moog]="demo synth (Moog)"
title[svf]="SV filter"
title[none]="no filter"
project[moog]=examples/demo-synth.json
project[svf]=examples/demo-synth-svf.json
project[none]=examples/demo-synth-nofilter.json
# The FAUST voices' filters, at the examples' cutoff ("Pitch" 8 V: 3520 Hz).
filter[moog]="ve.moog_vcf_2bn(0.2, 3520)"
filter[svf]="fi.svf.lp(3520, 2)"
filter[none]="_"

# A synthesiser twice over inside one main container, each copy with 128
# voices: 128 held notes sound as 256 voices (a container holds at most
# 200). Made from the example itself so that the voice stays the same.
# $1 the example, $2 the project written.
double_synth() {
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
  }' "$1" >"$2"
}

# Processor time in ns of running "$@", its output discarded: perf's task
# clock where perf runs (microseconds), else bash's user and system times
# (milliseconds, too coarse for one voice held a few seconds).
if perf stat -x, -e task-clock -o /dev/null true >/dev/null 2>&1; then
  cpu_time() {
    perf stat -x, -e task-clock -o "$work/stat" "$@" >/dev/null 2>&1
    awk -F, '/task-clock/ { printf "%.0f\n", $1 * 1e6 }' "$work/stat"
  }
else
  cpu_time() {
    local TIMEFORMAT='%3U %3S' times
    times=$({ time "$@" >/dev/null 2>&1; } 2>&1)
    awk -v t="$times" 'BEGIN { split(t, part, " "); printf "%.0f\n", (part[1] + part[2]) * 1e9 }'
  }
fi
best_time() {
  for _ in $(seq "$REPEATS"); do cpu_time "$@"; done | lowest
}

# Seconds $1 voices are held: HELD for 64 or more, longer for fewer, so that
# every run renders as many voice-samples as 64 voices held for HELD.
held_for() {
  if (($1 >= 64)); then echo "$HELD"; else echo $((HELD * 64 / $1)); fi
}

# Orvane: $1 project, $2 notes held, $3 seconds; prints ns per voice-sample,
# counting the voices that `orvane bench` says sound, and that count.
orvane_held() {
  local short long voices
  short=$(best_time "$orvane" bench "$1" --voices "$2" --seconds 1)
  long=$(best_time "$orvane" bench "$1" --voices "$2" --seconds $((1 + $3)))
  voices=$("$orvane" bench "$1" --voices "$2" --seconds 1 |
    sed -n 's/.*mean voices sounding: \([0-9.]*\).*/\1/p')
  awk -v d=$((long - short)) -v v="$voices" -v s="$3" -v r=$RATE \
    'BEGIN { printf "%.2f %s\n", d / (v * s * r), v }'
}

# FAUST: $1 voice, $2 voices, $3 seconds held; builds the fused bank at -O2 and at -O3
# -march=native and prints both drivers' best ns per voice-sample. The keys
# are those `orvane bench` holds (a semitone apart from key 24, wrapping at
# 128); the envelope is the examples' (attack 0, decay 0.5 s, sustain 0.7).
faust_held() {
  local dir="$work/faust-$1-$2" flags times=()
  mkdir -p "$dir"
  {
    echo 'import("stdfaust.lib");'
    echo 'gate = checkbox("gate");'
    echo "voice(key) = os.sawtooth(ba.midikey2hz(key)) * 0.2 : ${filter[$1]}"
    echo '  : *(en.adsr(0.0, 0.5, 0.7, 0.3, gate)) : sp.panner(0.5);'
    echo "process = par(i, $2, voice((24 + i) % 128)) :> _, _;"
  } >"$dir/bank.dsp"
  # No time limit: 256 fused ladders take FAUST longer than its default two minutes.
  faust -t 0 -lang cpp -cn VoiceBank -o "$dir/voice_bank.h" "$dir/bank.dsp"
  for flags in "-O2" "-O3 -march=native"; do
    # shellcheck disable=SC2086 # the flags are two words
    g++ -std=c++17 $flags -I"$dir" bench/peers/faust_driver.cpp -o "$dir/driver"
    times+=("$(for _ in $(seq "$REPEATS"); do "$dir/driver" "$2" "$3"; done | lowest)")
  done
  echo "${times[*]}"
}

# Csound: $1 voices, $2 seconds held; writes the piece to $work/held.csd. The
# keys are those `orvane bench` holds.
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

# ns per voice-sample of $1 voices held $2 seconds: the longer render less
# the shorter one, over the voice samples that the difference holds.
csound_held() {
  csound_piece "$1" 1
  local short long
  short=$(best_time csound "$work/held.csd")
  csound_piece "$1" $((1 + $2))
  long=$(best_time csound "$work/held.csd")
  awk -v d=$((long - short)) -v v="$1" -v s="$2" -v r=$RATE \
    'BEGIN { printf "%.2f", d / (v * s * r) }'
}

echo "Measuring: best of $REPEATS runs each, 64 or more notes held for $HELD s at $RATE Hz" \
  "(fewer for longer)"
declare -A orvane_ns orvane_voices faust_o2 faust_native csound_ns
for voice in "${voices[@]}"; do
  double_synth "${project[$voice]}" "$work/$voice-256.json"
  for count in $COUNTS; do
    key="$voice $count"
    held=$(held_for "$count")
    if ((count > 128)); then
      read -r ns sounding < <(orvane_held "$work/$voice-256.json" $((count / 2)) "$held")
    else
      read -r ns sounding < <(orvane_held "${project[$voice]}" "$count" "$held")
    fi
    orvane_ns[$key]=$ns
    orvane_voices[$key]=$sounding
    read -r o2 native < <(faust_held "$voice" "$count" "$held")
    faust_o2[$key]=$o2
    faust_native[$key]=$native
    csound_ns[$key]=-
    if [[ $voice == svf ]]; then csound_ns[$key]=$(csound_held "$count" "$held"); fi
    echo "  ${title[$voice]}, $count voices: Orvane $ns ns ($sounding sounding)," \
      "FAUST $o2 / $native ns, Csound ${csound_ns[$key]} ns"
  done
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
echo "ns per voice-sample; a ratio above 1: the peer takes longer than Orvane"
echo
echo "| voice | notes | Orvane voices sounding | Orvane | FAUST -O2 | FAUST -O3 native |" \
  "Csound | FAUST -O2 / Orvane | FAUST native / Orvane | Csound / Orvane |"
echo "|---|---|---|---|---|---|---|---|---|---|"
for voice in "${voices[@]}"; do
  for count in $COUNTS; do
    key="$voice $count"
    echo "| ${title[$voice]} | $count | ${orvane_voices[$key]} | ${orvane_ns[$key]} |" \
      "${faust_o2[$key]} | ${faust_native[$key]} | ${csound_ns[$key]} |" \
      "$(ratio "${faust_o2[$key]}" "${orvane_ns[$key]}") |" \
      "$(ratio "${faust_native[$key]}" "${orvane_ns[$key]}") |" \
      "$(ratio "${csound_ns[$key]}" "${orvane_ns[$key]}") |"
  done
done
echo
echo "| MIDI file | mean notes held | Orvane ns per note-sample | FluidSynth ns per note-sample | FluidSynth / Orvane |"
echo "|---|---|---|---|---|"
echo "| $MIDI | $midi_notes | $orvane_midi | $fluid_midi | $(ratio "$fluid_midi" "$orvane_midi") |"
