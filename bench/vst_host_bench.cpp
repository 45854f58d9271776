// Kars (Debian's dpf-plugins-vst) played inside a project, straight on the
// engine's buffers and through the aligned staging, against Kars alone on a
// 512-sample host block: CPU time per sample with one note held.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "document/document.h"
#include "document/project_text.h"
#include "tests/document/started_engine.h"
#include "vsthost/ug_vst_plugin.h"
#include "vsthost/vst_wrapper.h"

namespace ov {
namespace {

constexpr char kKars[] = "/usr/lib/vst/Kars-vst.so";
constexpr int32_t kBlock = 512;

void Rate(benchmark::State& state) {
  state.counters["ns_per_sample"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kBlock,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Arg: 0 direct, 1 aligned.
void BM_KarsInProject(benchmark::State& state) {
  if (!std::filesystem::exists(kKars)) return state.SkipWithError("Kars is not installed");
  std::ifstream file(std::string(OV_EXAMPLES_DIR) + "/hosted-kars.json");
  std::stringstream text;
  text << file.rdbuf();
  Json project = Json::parse(text.str());
  Json& synth = project["root"]["modules"][0];
  synth["modules"][0]["plug_values"]["Data Alignment Fix"] = state.range(0);
  project["root"]["modules"].push_back({{"type", "VST Output"}, {"name", "out"}});
  project["root"]["connections"] = Json::array({"synth.Left -> out.Audio"});
  COrvaneDocBase document = CompileDocument(project, {});
  test::StartedEngine engine(document, kBlock, LaneMode::kOff);
  ug_base* kars = nullptr;
  engine.root->VisitTree([&](ug_base& generator) {
    if (dynamic_cast<ug_vst_plugin*>(&generator) != nullptr) kars = &generator;
  });
  if (kars == nullptr) return state.SkipWithError("no hosted plug-in in the engine");
  kars->QueueMidi(0, 0x643C90, nullptr);
  std::vector<float> left(kBlock);
  float* outputs[] = {left.data()};
  for (auto _ : state) {
    engine.host.output->SetHostOutputs(outputs, 1);
    engine.master.Process(kBlock);
  }
  Rate(state);
  state.SetLabel(state.range(0) != 0 ? "aligned" : "direct");
}
BENCHMARK(BM_KarsInProject)->Arg(0)->Arg(1);

void BM_KarsAlone(benchmark::State& state) {
  if (!std::filesystem::exists(kKars)) return state.SkipWithError("Kars is not installed");
  VST_Wrapper kars(nullptr);
  std::string error;
  if (!kars.Load(kKars, &error)) return state.SkipWithError(error.c_str());
  kars.SetRateAndBlock(44100.0f, kBlock);
  kars.SetMains(true);
  vst2::VstMidiEvent note{};
  note.type = vst2::kVstMidiType;
  note.byteSize = sizeof note;
  note.midiData[0] = static_cast<char>(0x90);
  note.midiData[1] = 60;
  note.midiData[2] = 100;
  vst2::VstEvents events{};
  events.numEvents = 1;
  events.events[0] = reinterpret_cast<vst2::VstEvent*>(&note);
  kars.Dispatch(vst2::effProcessEvents, 0, 0, &events);
  std::vector<std::vector<float>> buffers(
      static_cast<std::size_t>(std::max(kars.Effect()->numOutputs, 1)), std::vector<float>(kBlock));
  std::vector<float*> outputs;
  for (auto& buffer : buffers) outputs.push_back(buffer.data());
  for (auto _ : state) {
    kars.Effect()->processReplacing(kars.Effect(), nullptr, outputs.data(), kBlock);
  }
  kars.SetMains(false);
  Rate(state);
}
BENCHMARK(BM_KarsAlone);

}  // namespace
}  // namespace ov

BENCHMARK_MAIN();
