// What a SoundFont voice costs: 64 notes (keys 36 to 99) held for 10 s at
// 44.1 kHz in host blocks of 512 on one thread, on a looped, sustaining
// TimGM6mb preset with one zone per key, through the "Soundfont Player" of
// the GM player example and through libfluidsynth (reverb and chorus off,
// one core) with its default and its 7th-order interpolation. Each counts
// its own sounding voices after every block; the figure is time per
// voice-sample, and ours is also given as a ratio to FluidSynth's default.
#include <benchmark/benchmark.h>
#include <fluidsynth.h>

#include <ctime>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "bench/memory_file.h"
#include "document/container.h"
#include "document/control.h"
#include "document/graph_build.h"
#include "document/project_text.h"
#include "engine/audio_master.h"
#include "engine/host_ports.h"
#include "media/soundfont_bank.h"
#include "patches/message_hub.h"
#include "platform/message_sink.h"
#include "tests/document/started_engine.h"

namespace ov {
namespace {

constexpr char kFont[] = "/usr/share/sounds/sf2/TimGM6mb.sf2";
constexpr int32_t kBlock = 512;
constexpr int kBlocks = static_cast<int>(10.0 * 44100.0 / kBlock);
constexpr int kFirstKey = 36;
constexpr int kNotes = 64;

std::vector<uint8_t> FontBytes() {
  std::ifstream in(kFont, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The first program of bank 0 whose keys 36 to 99 each have one zone, every
// one looped and sustaining; -1 when there is none.
int LoopedProgram(const std::vector<uint8_t>& font) {
  soundfont_bank bank;
  std::string error;
  if (!bank.Load(font, &error)) return -1;
  for (int program = 0; program < 128; ++program) {
    bank.SetBank(0, 0);
    bank.SetPreset(0, program);
    bool fits = !bank.Zones(0).empty();
    for (int key = kFirstKey; fits && key < kFirstKey + kNotes; ++key) {
      int covering = 0;
      for (const Jzone& zone : bank.Zones(0)) {
        if (zone.Low(kGenKeyRange) > key || key > zone.High(kGenKeyRange)) continue;
        ++covering;
        fits = fits && (zone.gen[kGenSampleModes] & 1) != 0 && zone.gen[kGenSustainVolEnv] < 1000;
      }
      fits = fits && covering == 1;
    }
    if (fits) return program;
  }
  return -1;
}

double fluid_default_ns = 0.0;  // FluidSynth's default, once measured

// This thread's processor time: other programs sharing the machine do not
// count against either engine.
double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void Report(benchmark::State& state, double seconds, double voice_samples, int program,
            bool ours) {
  const double ns = seconds * 1e9 / voice_samples;
  state.counters["ns_per_voice_sample"] = ns;
  state.counters["voices"] = voice_samples / (static_cast<double>(kBlocks) * kBlock);
  state.SetLabel("program " + std::to_string(program));
  if (ours && fluid_default_ns > 0.0) {
    state.counters["ratio_to_fluidsynth_default"] = ns / fluid_default_ns;
  }
}

void BM_SoundFontFluidSynth(benchmark::State& state) {
  const int program = LoopedProgram(FontBytes());
  if (program < 0) {
    state.SkipWithError("no looped preset with one zone per key");
    return;
  }
  fluid_settings_t* settings = new_fluid_settings();
  fluid_settings_setnum(settings, "synth.sample-rate", 44100.0);
  fluid_settings_setint(settings, "synth.reverb.active", 0);
  fluid_settings_setint(settings, "synth.chorus.active", 0);
  fluid_settings_setint(settings, "synth.cpu-cores", 1);
  fluid_settings_setint(settings, "synth.polyphony", 256);
  fluid_synth_t* synth = new_fluid_synth(settings);
  fluid_synth_sfload(synth, kFont, 1);
  fluid_synth_set_interp_method(synth, -1, static_cast<int>(state.range(0)));
  std::vector<float> left(kBlock), right(kBlock);
  for (auto _ : state) {
    fluid_synth_program_change(synth, 0, program);
    for (int key = kFirstKey; key < kFirstKey + kNotes; ++key) fluid_synth_noteon(synth, 0, key, 100);
    double voice_samples = 0.0;
    const double start = ThreadSeconds();
    for (int block = 0; block < kBlocks; ++block) {
      fluid_synth_write_float(synth, kBlock, left.data(), 0, 1, right.data(), 0, 1);
      voice_samples += static_cast<double>(fluid_synth_get_active_voice_count(synth)) * kBlock;
    }
    const double seconds = ThreadSeconds() - start;
    fluid_synth_all_sounds_off(synth, -1);
    Report(state, seconds, voice_samples, program, false);
    if (state.range(0) == FLUID_INTERP_DEFAULT) fluid_default_ns = seconds * 1e9 / voice_samples;
  }
  delete_fluid_synth(synth);
  delete_fluid_settings(settings);
}
BENCHMARK(BM_SoundFontFluidSynth)
    ->Arg(FLUID_INTERP_DEFAULT)
    ->Arg(FLUID_INTERP_7THORDER)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

void BM_SoundFontOurs(benchmark::State& state) {
  const std::vector<uint8_t> font = FontBytes();
  const int program = LoopedProgram(font);
  if (program < 0) {
    state.SkipWithError("no looped preset with one zone per key");
    return;
  }
  std::ifstream file(std::string(OV_EXAMPLES_DIR) + "/gm-player.json");
  std::stringstream text;
  text << file.rdbuf();
  Json project = Json::parse(text.str());
  project["root"]["modules"][0]["plug_values"]["Polyphony"] = kNotes;
  project["root"]["modules"].push_back({{"type", "VST Output"}, {"name", "out"}});
  project["root"]["connections"] = Json::array({"gm.Left -> out.Audio", "gm.Right -> out.Audio"});
  COrvaneDocBase document = CompileDocument(project, {});

  // The player's editor side loads the bank, as the plug-in has it do.
  MemoryFile files(font);
  MessageSink messages;
  auto* gm = dynamic_cast<CContainer*>(document.FindMainContainer());
  for (const auto& child : gm->children()) {
    if (auto* player = dynamic_cast<Ctl_Soundfont_base*>(child.get())) {
      player->AttachFiles(&files, &messages, 0);
    }
  }
  test::OutputHost host;
  OvAudioMaster master(host);
  master.SetSampleRate(44100.0f);
  master.SetEngineBlockSize(OvAudioMaster::ChooseEngineBlockSize(kBlock));
  MessageHub hub(host);
  hub.AttachEngine(&master);
  std::unique_ptr<ug_container> root;
  {
    GraphBuild build(master);
    build.SetMessageHub(&hub);
    build.Build(*document.root());
    root = build.TakeRoot();
  }
  master.Start(root.get());
  ug_base* source = nullptr;
  root->VisitTree([&](ug_base& generator) {
    if ((generator.Flags() & UGF_CLONE) == 0 && dynamic_cast<ug_notesource*>(&generator)) {
      source = &generator;
    }
  });
  std::vector<float> left(kBlock);
  float* outputs[] = {left.data()};
  const auto block = [&] {
    host.output->SetHostOutputs(outputs, 1);
    master.Process(kBlock);
  };
  for (auto _ : state) {
    source->QueueEvent(0, UET_MIDI, 0xC0 | (program << 8), source->plug(0), 0, true);
    for (int key = kFirstKey; key < kFirstKey + kNotes; ++key) {
      source->QueueEvent(0, UET_MIDI, 0x90 | (key << 8) | (100 << 16), source->plug(0), 0, true);
    }
    double voice_samples = 0.0;
    const double start = ThreadSeconds();
    for (int b = 0; b < kBlocks; ++b) {
      block();
      voice_samples += static_cast<double>(master.SoundingVoices()) * kBlock;
    }
    const double seconds = ThreadSeconds() - start;
    Report(state, seconds, voice_samples, program, true);
  }
  master.Stop();
}
BENCHMARK(BM_SoundFontOurs)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ov

BENCHMARK_MAIN();
