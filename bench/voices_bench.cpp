// What silent voices cost: a MIDI-to-CV synthesiser voice (note source ->
// inverter -> voice combiner) with one note held, at 1 and at 64 voices of
// polyphony. Voices that never played are suspended and should add nothing.
#include <benchmark/benchmark.h>

#include <memory>

#include "document/container.h"
#include "document/graph_build.h"
#include "engine/audio_master.h"
#include "tests/document/document_test_support.h"
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

}  // namespace
}  // namespace ov
