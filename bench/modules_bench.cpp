// What the oscillator and the filters cost per sample, run by the engine in
// 64-sample slices (engine cells of 64 at 44.1 kHz). Each benchmark runs 16
// instances of one module with the same inputs and reports
// "ns_per_sample": time per sample per instance, the engine's slice loop
// included (BM_EngineBaseline shows that share: the same engine with
// sources and no modules). The BM_Lanes benchmarks run 16 voice copies of
// one module (a model and its clones) with lanes off, the baseline kernels
// and the wide kernels.
#include <benchmark/benchmark.h>

#include <cmath>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/midi_word.h"
#include "engine/voice_lanes.h"
#include "modules/evaluator.h"
#include "modules/level_meter.h"
#include "modules/feedback_delay.h"
#include "modules/filters.h"
#include "modules/logic_gates.h"
#include "modules/math_arithmetic.h"
#include "modules/meters.h"
#include "modules/midi_utility.h"
#include "modules/oscillator.h"
#include "modules/oscillator_pd.h"
#include "modules/pan.h"
#include "modules/vca.h"
#include "modules/wave_shaper.h"
#include "tests/engine/graph_fixture.h"

namespace ov {
namespace {

constexpr int32_t kSlice = 64;
constexpr int kInstances = 16;

struct ModuleBench : test::BasicGraphRig<test::FakeEngineHost, kSlice> {
  ModuleBench() { master.SetSampleRate(44100.0f); }

  // A running audio source whose block holds `value(i)`.
  test::Source& Running(float (*value)(int)) {
    auto& source = Add(std::make_unique<test::Source>(), 10);
    sources.emplace_back(&source, value);
    return source;
  }

  template <typename Module>
  std::vector<Module*> AddModules(std::initializer_list<std::pair<int, const char*>> values) {
    std::vector<Module*> modules;
    for (int i = 0; i < kInstances; ++i) {
      auto& module = Add(std::make_unique<Module>(), 1);
      for (const auto& [plug, text] : values) module.plug(plug)->SetValueFromText(text);
      modules.push_back(&module);
    }
    return modules;
  }

  // A model and its clones, as a polyphonic container makes them.
  template <typename Module>
  std::vector<ug_base*> AddCopies(std::initializer_list<std::pair<int, const char*>> values) {
    auto& model = Add(std::make_unique<Module>(), 1);
    std::vector<ug_base*> copies{&model};
    for (int i = 1; i < kInstances; ++i) copies.push_back(&top.AddChild(model.Clone()));
    for (ug_base* copy : copies) {
      for (const auto& [plug, text] : values) copy->plug(plug)->SetValueFromText(text);
    }
    return copies;
  }

  void Connect(test::Source& source, const std::vector<ug_base*>& modules, int plug) {
    for (ug_base* module : modules) top.connect(source.plug(0), module->plug(plug));
  }

  void Run(benchmark::State& state, int instances = kInstances) {
    master.Start(&top);
    for (auto& [source, value] : sources) {
      for (int i = 0; i < kSlice; ++i) source->out[i] = value(i);
      source->plug(0)->Transmit(0, ST_RUN);
    }
    for (int i = 0; i < 8; ++i) master.Process(kSlice);
    for (auto _ : state) master.Process(kSlice);
    state.counters["ns_per_sample"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kSlice * std::max(instances, 1),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  }

  std::vector<std::pair<test::Source*, float (*)(int)>> sources;
};

template <typename Module>
std::vector<ug_base*> Bases(const std::vector<Module*>& modules) {
  return {modules.begin(), modules.end()};
}

float Noise(int i) { return 0.3f * std::sin(1.7f * static_cast<float>(i * i)); }
float PitchSweep(int i) { return 0.5f + 0.001f * static_cast<float>(i); }
float Wobble(int i) { return 0.2f * std::sin(0.1f * static_cast<float>(i)); }
float SyncPulses(int i) { return (i % 37) < 18 ? -0.5f : 0.5f; }

void BM_EngineBaseline(benchmark::State& state) {
  ModuleBench bench;
  bench.Running(Noise);
  bench.Run(state, kInstances);
}
BENCHMARK(BM_EngineBaseline);

// --- Oscillator: each waveform at 440 Hz (static pitch), then the
// streaming-input variants.

void BM_Oscillator(benchmark::State& state) {
  ModuleBench bench;
  const std::string waveform = std::to_string(state.range(0));
  bench.AddModules<ug_oscillator2>(
      {{ug_oscillator2::kWaveform, waveform.c_str()}, {ug_oscillator2::kPitch, "5"}});
  state.SetLabel(std::vector<const char*>{"sine", "saw", "ramp", "triangle", "pulse", "white noise",
                                          "pink noise"}[state.range(0)]);
  bench.Run(state);
}
BENCHMARK(BM_Oscillator)->DenseRange(0, 6);

// One streaming input of an oscillator of `waveform`, fed by `value`.
void BM_OscillatorStreaming(benchmark::State& state, const char* waveform, float (*value)(int),
                            int plug) {
  ModuleBench bench;
  auto modules = bench.AddModules<ug_oscillator2>({{ug_oscillator2::kWaveform, waveform}});
  bench.Connect(bench.Running(value), Bases(modules), plug);
  bench.Run(state);
}
BENCHMARK_CAPTURE(BM_OscillatorStreaming, Pitch, "1", PitchSweep, ug_oscillator2::kPitch);
BENCHMARK_CAPTURE(BM_OscillatorStreaming, PhaseMod, "0", Wobble, ug_oscillator2::kPhaseMod);
BENCHMARK_CAPTURE(BM_OscillatorStreaming, PulseWidth, "4", Wobble, ug_oscillator2::kPulseWidth);
BENCHMARK_CAPTURE(BM_OscillatorStreaming, Sync, "1", SyncPulses, ug_oscillator2::kSync);

// --- Filters: a running signal, static controls; then a streaming "Pitch".

template <typename Filter>
void FilterBench(benchmark::State& state, std::initializer_list<std::pair<int, const char*>> values,
                 bool streaming_pitch) {
  ModuleBench bench;
  auto modules = bench.AddModules<Filter>(values);
  bench.Connect(bench.Running(Noise), Bases(modules), 0);
  if (streaming_pitch) bench.Connect(bench.Running(PitchSweep), Bases(modules), 1);
  bench.Run(state);
}

void BM_Filter1PoleLP(benchmark::State& state) {
  FilterBench<ug_filter_1pole>(state, {}, state.range(0) != 0);
}
void BM_Filter1PoleHP(benchmark::State& state) {
  FilterBench<ug_filter_1pole_hp>(state, {}, state.range(0) != 0);
}
void BM_FilterAllPass(benchmark::State& state) {
  FilterBench<ug_filter_allpass>(state, {}, state.range(0) != 0);
}
void BM_FilterMoog(benchmark::State& state) {
  FilterBench<ug_filter_biquad>(state, {}, state.range(0) != 0);
}
void BM_FilterParametricEq(benchmark::State& state) {
  FilterBench<ug_filter_eq_parametric>(state, {{5, "3"}}, state.range(0) != 0);
}
void BM_FilterStateVariable(benchmark::State& state) {
  FilterBench<ug_filter_sv>(state, {}, state.range(0) != 0);
}
// Arg 0: static controls; arg 1: streaming "Pitch".
BENCHMARK(BM_Filter1PoleLP)->Arg(0)->Arg(1);
BENCHMARK(BM_Filter1PoleHP)->Arg(0)->Arg(1);
BENCHMARK(BM_FilterAllPass)->Arg(0)->Arg(1);
BENCHMARK(BM_FilterMoog)->Arg(0)->Arg(1);
BENCHMARK(BM_FilterParametricEq)->Arg(0)->Arg(1);
BENCHMARK(BM_FilterStateVariable)->Arg(0)->Arg(1);

// --- Math and logic: "Multiply" with both inputs running (arg 0) and with
// Input 2 static (arg 1); a four-input "AND Gate" on running pulses.

void BM_Multiply(benchmark::State& state) {
  ModuleBench bench;
  const bool one_static = state.range(0) != 0;
  auto modules = one_static ? bench.AddModules<ug_math_mult>({{ug_math_base::kInputB, "2"}})
                            : bench.AddModules<ug_math_mult>({});
  bench.Connect(bench.Running(Noise), Bases(modules), ug_math_base::kInputA);
  if (!one_static) bench.Connect(bench.Running(Wobble), Bases(modules), ug_math_base::kInputB);
  state.SetLabel(one_static ? "one static" : "both running");
  bench.Run(state);
}
BENCHMARK(BM_Multiply)->Arg(0)->Arg(1);

float SlowPulses(int i) { return (i % 23) < 11 ? 0.0f : 0.5f; }

void BM_AndGateFourInputs(benchmark::State& state) {
  ModuleBench bench;
  auto gates = bench.AddModules<ug_logic_AND>({});
  for (ug_logic_AND* gate : gates) {
    for (int i = 0; i < 3; ++i) gate->AddPlug(DR_IN, DT_FSAMPLE);
    gate->SetUpBuffers();
  }
  float (*inputs[])(int) = {SyncPulses, SlowPulses, SyncPulses, SlowPulses};
  for (int i = 0; i < 4; ++i) bench.Connect(bench.Running(inputs[i]), Bases(gates), 1 + i);
  bench.Run(state);
}
BENCHMARK(BM_AndGateFourInputs);

// --- Voice copies in lanes. Arg: 0 lanes off, 1 baseline, 2 AVX2, 3
// AVX-512 (when the CPU has it).

// 16 copies with `signal` into `input`, and `control` (if any) into plug
// `controlled`.
template <typename Module>
void LaneBench(benchmark::State& state, std::initializer_list<std::pair<int, const char*>> values,
               int input, int controlled = -1, float (*control)(int) = nullptr) {
  const LaneMode modes[] = {LaneMode::kOff, LaneMode::kBaseline, LaneMode::kAvx2,
                            LaneMode::kAvx512};
  const LaneMode mode = modes[state.range(0)];
  if (mode > BestLaneMode()) {
    state.SkipWithError("this CPU lacks the build");
    return;
  }
  state.SetLabel(std::vector<const char*>{"off", "baseline", "avx2", "avx512"}[state.range(0)]);
  ModuleBench bench;
  bench.master.SetLaneMode(mode);
  const std::vector<ug_base*> copies = bench.AddCopies<Module>(values);
  if (input >= 0) bench.Connect(bench.Running(Noise), copies, input);
  if (control != nullptr) bench.Connect(bench.Running(control), copies, controlled);
  bench.Run(state);
}

float Envelope(int i) { return 0.5f + 0.004f * static_cast<float>(i); }

void BM_LanesOscillatorSaw(benchmark::State& state) {
  LaneBench<ug_oscillator2>(state, {{ug_oscillator2::kWaveform, "1"}, {ug_oscillator2::kPitch, "5"}},
                            -1);
}
void BM_LanesMoog(benchmark::State& state) { LaneBench<ug_filter_biquad>(state, {}, 0); }
void BM_LanesStateVariable(benchmark::State& state) { LaneBench<ug_filter_sv>(state, {}, 0); }
void BM_Lanes1PoleLP(benchmark::State& state) { LaneBench<ug_filter_1pole>(state, {}, 0); }
void BM_LanesVca(benchmark::State& state) {
  LaneBench<ug_vca>(state, {}, ug_vca::kSignal, ug_vca::kVolume, Envelope);
}
void BM_LanesPan(benchmark::State& state) {
  LaneBench<ug_pan>(state, {}, ug_pan::kInput, ug_pan::kPan, Wobble);
}
BENCHMARK(BM_LanesOscillatorSaw)->DenseRange(0, 3);
BENCHMARK(BM_LanesMoog)->DenseRange(0, 3);
BENCHMARK(BM_LanesStateVariable)->DenseRange(0, 3);
BENCHMARK(BM_Lanes1PoleLP)->DenseRange(0, 3);
BENCHMARK(BM_LanesVca)->DenseRange(0, 3);
BENCHMARK(BM_LanesPan)->DenseRange(0, 3);

// --- Meters measuring a running signal (the updates, a few a second, are
// included); "Controllers" with all six outputs gliding, new targets every
// 512 samples (a glide lasts 735).

void BM_PeakMeter(benchmark::State& state) {
  ModuleBench bench;
  auto modules = bench.AddModules<ug_peak_meter>({});
  bench.Connect(bench.Running(Noise), Bases(modules), 0);
  bench.Run(state);
}
BENCHMARK(BM_PeakMeter);

void BM_VoltMeterAcRms(benchmark::State& state) {
  ModuleBench bench;
  auto modules = bench.AddModules<ug_volt_meter>({{ug_volt_meter::kMode, "1"}});
  bench.Connect(bench.Running(Noise), Bases(modules), 0);
  bench.Run(state);
}
BENCHMARK(BM_VoltMeterAcRms);

// The level meter behind a panel's bar graph, smoothing as a VU meter and
// reading ten times a second.
void BM_LevelMeterVu(benchmark::State& state) {
  ModuleBench bench;
  auto modules = bench.AddModules<ug_param_float_out>({{ug_param_float_out::kResponse, "0"}});
  bench.Connect(bench.Running(Noise), Bases(modules), 0);
  bench.Run(state);
}
BENCHMARK(BM_LevelMeterVu);

void BM_ControllersGliding(benchmark::State& state) {
  ModuleBench bench;
  auto modules = bench.AddModules<ug_midi_controllers>({});
  auto& midi = bench.Add(std::make_unique<test::Source>(DT_MIDI), 10);
  for (ug_midi_controllers* module : modules) {
    bench.top.connect(midi.plug(0), module->plug(ug_midi_controllers::kMidiIn));
  }
  bench.master.Start(&bench.top);
  uint32_t time = 0;
  uint32_t value = 0;
  const auto retarget = [&] {
    value ^= 127;
    for (uint32_t controller = 1; controller <= 4; ++controller) {
      midi.SendMidi(*midi.plug(0), time, midi::Word(midi::kControlChange, controller, value));
    }
    midi.SendMidi(*midi.plug(0), time, midi::Word(midi::kChannelPressure, value));
    midi.SendMidi(*midi.plug(0), time, midi::Word(midi::kPitchBend, 0, value));
  };
  for (auto _ : state) {
    if (time % 512 == 0) retarget();
    bench.master.Process(kSlice);
    time += kSlice;
  }
  state.counters["ns_per_sample"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kSlice * kInstances,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ControllersGliding);

// --- Phase-distortion oscillator: each waveform at 440 Hz, depth 5 V
// (static pitch), then Saw with a streaming pitch.

void BM_PhaseDistOsc(benchmark::State& state) {
  ModuleBench bench;
  const std::string wave = std::to_string(state.range(0));
  bench.AddModules<ug_oscillator_pd>({{ug_oscillator_pd::kWave1, wave.c_str()},
                                      {ug_oscillator_pd::kWave2, "-1"},
                                      {ug_oscillator_pd::kPitch, "5"},
                                      {ug_oscillator_pd::kDepth, "5"}});
  state.SetLabel(std::vector<const char*>{"Saw", "Square", "Pulse", "Dbl Sine", "Saw-Pulse",
                                          "Reso1", "Reso2", "Reso3"}[state.range(0)]);
  bench.Run(state);
}
BENCHMARK(BM_PhaseDistOsc)->DenseRange(0, 7);

void BM_PhaseDistOscStreamingPitch(benchmark::State& state) {
  ModuleBench bench;
  auto modules = bench.AddModules<ug_oscillator_pd>(
      {{ug_oscillator_pd::kWave2, "-1"}, {ug_oscillator_pd::kDepth, "5"}});
  bench.Connect(bench.Running(PitchSweep), Bases(modules), ug_oscillator_pd::kPitch);
  bench.Run(state);
}
BENCHMARK(BM_PhaseDistOscStreamingPitch);

// --- Wave shapers on a running signal, and what their curves cost to make.

template <typename Shaper>
void ShaperBench(benchmark::State& state, const char* shape) {
  ModuleBench bench;
  auto modules = bench.AddModules<Shaper>({{ug_wave_shaper::kShape, shape}});
  bench.Connect(bench.Running(Noise), Bases(modules), ug_wave_shaper::kSignalIn);
  bench.Run(state);
}
void BM_WaveShaper(benchmark::State& state) {
  ShaperBench<ug_wave_shaper>(state, "(-5,-5)(-2,-4)(0,0)(2,4)(5,5)");
}
void BM_WaveShaper2(benchmark::State& state) { ShaperBench<ug_wave_shaper2>(state, "5 * sin(x/PI)"); }
BENCHMARK(BM_WaveShaper);
BENCHMARK(BM_WaveShaper2);

// ns per evaluation of the default formula.
void BM_EvaluateFormula(benchmark::State& state) {
  Evaluator evaluator;
  evaluator.SetVariable("x", 1.25);
  for (auto _ : state) {
    double result = 0.0;
    bool assigned = false;
    benchmark::DoNotOptimize(evaluator.Evaluate("5 * sin(x/PI)", result, assigned));
    benchmark::DoNotOptimize(result);
  }
}
BENCHMARK(BM_EvaluateFormula);

// One whole "WaveShaper2" table (513 evaluations).
void BM_WaveShaper2Table(benchmark::State& state) {
  Evaluator evaluator;
  ug_wave_shaper::Curve curve{};
  for (auto _ : state) {
    ug_wave_shaper2::BuildFromFormula("5 * sin(x/PI)", evaluator, curve);
    benchmark::DoNotOptimize(curve.data());
  }
  state.SetLabel("time per table");
}
BENCHMARK(BM_WaveShaper2Table)->Unit(benchmark::kMicrosecond);

// --- Feedback Delay: input halves copying a running signal across.

void BM_FeedbackDelay(benchmark::State& state) {
  ModuleBench bench;
  auto inputs = bench.AddModules<ug_feedback_delay>({});
  for (ug_feedback_delay* input : inputs) {
    input->SetPartner(&bench.Add(std::make_unique<ug_feedback_delay_out>(), 2));
  }
  bench.Connect(bench.Running(Noise), Bases(inputs), ug_feedback_delay::kAudioIn);
  bench.Run(state);
}
BENCHMARK(BM_FeedbackDelay);

}  // namespace
}  // namespace ov

BENCHMARK_MAIN();
