// What the sequencers and the multistage envelope cost: a playing step
// sequencer per sample (ticks and bar fills included), one fill of the
// fullest drum bar, and "Multistage Env" against "ADSR" per voice-sample
// at 64 voices whose gates switch every 32 samples.
#include <benchmark/benchmark.h>

#include <memory>
#include <type_traits>
#include <vector>

#include "modules/envelopes.h"
#include "modules/multistage_envelope.h"
#include "modules/step_sequencer.h"
#include "tests/engine/graph_fixture.h"

namespace ov {
namespace {

constexpr int32_t kSlice = 64;
constexpr int kVoices = 64;

struct Rig : test::BasicGraphRig<test::FakeEngineHost, kSlice> {
  Rig() { master.SetSampleRate(44100.0f); }
  void Run(benchmark::State& state, int instances) {
    master.Start(&top);
    for (int i = 0; i < 8; ++i) master.Process(kSlice);
    for (auto _ : state) master.Process(kSlice);
    state.counters["ns_per_sample"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kSlice * instances,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  }
};

// Every step of every pattern sounds, at 300 beats per minute.
PatternSet Busy(bool drums) {
  PatternSet set;
  set.drums = drums;
  set.tempo = 300.0f;
  set.song.fill(-1);
  for (int32_t p = 0; p < kSequencerPatterns; ++p) {
    set.step_counts[p] = kSequencerMaxSteps;
    for (int32_t s = 0; s < kSequencerMaxSteps; ++s) {
      set.steps[p][s] = {36 + s, 100, s, s % 3 == 0};
      set.drum_words[p][s] = 0xFFFFFFFFu;
    }
  }
  for (int32_t row = 1; row < 32; ++row) set.row_notes[row] = static_cast<int16_t>(30 + row);
  return set;
}

void BM_StepSequencerPlaying(benchmark::State& state) {
  Rig rig;
  auto channel = std::make_shared<PatternChannel>();
  channel->Publish(std::make_unique<const PatternSet>(Busy(state.range(0) != 0)));
  auto& sequencer = rig.top.Add(std::make_unique<ug_step_sequencer>());
  sequencer.AttachPatterns(channel);
  state.SetLabel(state.range(0) != 0 ? "drums" : "steps");
  rig.Run(state, 1);
}
BENCHMARK(BM_StepSequencerPlaying)->Arg(0)->Arg(1);

void BM_FillFullestDrumBar(benchmark::State& state) {
  const PatternSet set = Busy(true);
  MidiBar bar;
  bar.Reserve();
  for (auto _ : state) {
    bar.Clear();
    set.FillBar(1, bar);
    benchmark::DoNotOptimize(bar.events().data());
  }
  state.counters["events"] = static_cast<double>(bar.events().size());
}
BENCHMARK(BM_FillFullestDrumBar)->Unit(benchmark::kMicrosecond);

// 64 envelopes on one gate that switches every 32 samples.
template <typename Envelope>
void BM_Envelope(benchmark::State& state) {
  Rig rig;
  auto& gate = rig.Add(std::make_unique<test::Source>(), 10);
  auto channel = std::make_shared<ShapeChannel>();
  channel->Publish(std::make_unique<const ShapeSegments>(
      ShapeSegments{{1.0f, 10.0f, 0}, {0.8f, 0.67f, 1}, {0.0f, 1.33f, 2}, {}, {}}));
  for (int v = 0; v < kVoices; ++v) {
    auto& envelope = rig.Add(std::make_unique<Envelope>(), 1);
    if constexpr (std::is_same_v<Envelope, ug_envelope_ms>) envelope.AttachShapes(channel);
    rig.top.connect(gate.plug(0), envelope.plug(0));
  }
  rig.master.Start(&rig.top);
  for (int i = 0; i < kSlice; ++i) gate.out[i] = i < 32 ? 1.0f : 0.0f;
  gate.plug(0)->Transmit(0, ST_RUN);
  for (int i = 0; i < 8; ++i) rig.master.Process(kSlice);
  for (auto _ : state) rig.master.Process(kSlice);
  state.counters["ns_per_voice_sample"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kSlice * kVoices,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Envelope<ug_envelope_ms>)->Name("BM_MultistageEnv64");
BENCHMARK(BM_Envelope<ug_adsr>)->Name("BM_Adsr64");

}  // namespace
}  // namespace ov
