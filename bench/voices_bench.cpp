// What silent voices cost: a MIDI-to-CV synthesiser voice (note source ->
// inverter -> voice combiner) with one note held, at 1 and at 64 voices of
// polyphony. Voices that never played are suspended and should add nothing.
// Then what sounding voices cost: the demo synthesiser and its filter
// variants with every voice holding a note, with voice lanes off and on,
// in CPU time per voice-sample. Last what an idle engine costs: the demo
// synthesiser with no note sounding, per sample.
#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "document/container.h"
#include "document/graph_build.h"
#include "document/project_text.h"
#include "engine/audio_master.h"
#include "engine/host_ports.h"
#include "engine/ug_notesource.h"
#include "tests/document/document_test_support.h"
#include "tests/document/started_engine.h"
#include "tests/engine/engine_test_support.h"

namespace ov {
namespace {

using testing::Add;
using testing::Plug;

void BM_OneNoteHeld(benchmark::State& state) {
  testing::TestProject project;
  project.main->FindPlug("Polyphony")->SetValueText(std::to_string(state.range(0)));
  CUG* cv = Add(*project.main, "Midi to CV");
  CUG* voice = Add(*project.main, "Inverter");
  CUG* combiner = Add(*project.main, "Voice Combiner");
  project.main->Connect(Plug(*cv, "Pitch"), Plug(*voice, "Signal in"));
  project.main->Connect(Plug(*voice, "Signal Out"), Plug(*combiner, "Signals In"));

  test::FakeEngineHost host;
  OvAudioMaster master(host);
  master.SetEngineBlockSize(64);
  std::unique_ptr<ug_container> root;
  ug_base* note_source = nullptr;
  {
    GraphBuild build(master);
    build.Build(*project.document.root());
    note_source = build.GeneratorOf(*cv);
    root = build.TakeRoot();
  }
  master.Start(root.get());
  note_source->QueueEvent(0, UET_MIDI, 0x643C90, note_source->plug(0), 0, true);
  for (int i = 0; i < 16; ++i) master.Process(512);  // let idle voices settle
  for (auto _ : state) master.Process(512);
  state.counters["ns_per_sample"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * 512,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  master.Stop();
}
BENCHMARK(BM_OneNoteHeld)->Arg(1)->Arg(64);

// The example with `voices` of polyphony and a "VST Output" taking both
// channels, as the plug-in wires it.
COrvaneDocBase DemoSynth(const char* example, int voices) {
  std::ifstream file(std::string(OV_EXAMPLES_DIR) + "/" + example + ".json");
  std::stringstream text;
  text << file.rdbuf();
  Json project = Json::parse(text.str());
  project["root"]["modules"][0]["plug_values"]["Polyphony"] = voices;
  project["root"]["modules"].push_back({{"type", "VST Output"}, {"name", "out"}});
  project["root"]["connections"] = Json::array({"synth.Left -> out.Audio", "synth.Right -> out.Audio"});
  return CompileDocument(project, {});
}

const char* const kExamples[] = {"demo-synth", "demo-synth-svf", "demo-synth-1pole",
                                 "demo-synth-nofilter"};

// Args: example (0 demo synth, 1 "SV Filter", 2 "1 Pole LP", 3 no filter),
// voices, lanes (0 off, 1 on with the CPU's best build).
void BM_DemoSynthVoices(benchmark::State& state) {
  const int voices = static_cast<int>(state.range(1));
  const COrvaneDocBase document = DemoSynth(kExamples[state.range(0)], voices);
  test::StartedEngine engine(document, 512,
                             state.range(2) != 0 ? DefaultLaneMode() : LaneMode::kOff);
  ug_base* source = engine.ModelNoteSource();
  // 100 keys a channel, so that every note is a voice of its own.
  for (int v = 0; v < voices; ++v) {
    const auto word = static_cast<uint32_t>((0x90 | v / 100) | ((24 + v % 100) << 8) | (100 << 16));
    source->QueueEvent(0, UET_MIDI, static_cast<int32_t>(word), source->plug(0), 0, true);
  }
  std::vector<float> left(512);
  float* outputs[] = {left.data()};
  const auto block = [&] {
    engine.host.output->SetHostOutputs(outputs, 1);
    engine.master.Process(512);
  };
  for (int i = 0; i < 40; ++i) block();  // past the attack and decay
  for (auto _ : state) block();
  state.counters["ns_per_voice_sample"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * 512 * voices,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.SetLabel(std::string(kExamples[state.range(0)]) + (state.range(2) != 0 ? " lanes" : " alone"));
}
BENCHMARK(BM_DemoSynthVoices)
    ->ArgsProduct({{0}, {1, 16, 64, 256}, {0, 1}})
    ->ArgsProduct({{1, 2, 3}, {64}, {0, 1}});

// The demo synthesiser with 16 voices and no note sounding. Arg: 0 no note
// ever played, 1 sixteen notes played, released and faded out.
void BM_DemoSynthIdle(benchmark::State& state) {
  const COrvaneDocBase document = DemoSynth(kExamples[0], 16);
  test::StartedEngine engine(document, 512, DefaultLaneMode());
  ug_base* source = engine.ModelNoteSource();
  std::vector<float> left(512);
  float* outputs[] = {left.data()};
  const auto block = [&] {
    engine.host.output->SetHostOutputs(outputs, 1);
    engine.master.Process(512);
  };
  if (state.range(0) != 0) {
    const auto send = [&](uint32_t status, int v) {
      const auto word = status | (static_cast<uint32_t>(48 + v) << 8) | (100u << 16);
      source->QueueEvent(engine.master.SampleClock(), UET_MIDI, static_cast<int32_t>(word),
                         source->plug(0), 0, true);
    };
    for (int v = 0; v < 16; ++v) send(0x90, v);
    for (int i = 0; i < 40; ++i) block();
    for (int v = 0; v < 16; ++v) send(0x80, v);
  }
  for (int i = 0; i < 1000; ++i) block();  // 11.6 s: past every release
  for (auto _ : state) block();
  state.counters["ns_per_sample"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * 512,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.SetLabel(state.range(0) != 0 ? "after notes" : "never played");
}
BENCHMARK(BM_DemoSynthIdle)->Arg(0)->Arg(1);

}  // namespace
}  // namespace ov
