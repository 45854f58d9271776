// Voice copies run in lanes against the same copies run one at a time: a
// polyphonic synthesiser voice rendered with lanes off, with the baseline
// kernels and with the AVX2 and AVX-512 kernels (where the CPU has them)
// must agree sample by sample, while
// random notes start, end, steal voices and leave them suspended at any
// sample, for host blocks of 1, 97, 512 and 4096 samples.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <typeinfo>
#include <vector>

#include "document/graph_build.h"
#include "document/project_text.h"
#include "engine/audio_master.h"
#include "engine/host_ports.h"
#include "engine/ug_notesource.h"
#include "modules/envelopes.h"
#include "modules/filters.h"
#include "modules/oscillator.h"
#include "modules/pan.h"
#include "modules/vca.h"
#include "tests/document/started_engine.h"

namespace ov {
namespace {

// One voice: note source -> oscillator -> filter (optional) -> VCA with an
// ADSR -> pan, both pan outputs summed into the host output. `modulated`
// adds a second envelope that streams into the filter's pitch, the
// oscillator's pulse width and the pan position.
struct Voice {
  std::string filter;  // module type, or empty
  std::string filter_output = "Output";
  int waveform = 1;
  int curve = 1;
  int fade_law = 1;
  bool modulated = false;
  Json filter_values = Json::object({{"Pitch", 8}, {"Resonance", 2}});
  int polyphony = 6;
  double event_gap = 300;  // mean samples between note events
};

Json ProjectFor(const Voice& voice) {
  Json modules = Json::array({
      {{"type", "Midi to CV"}, {"name", "cv"}},
      {{"type", "Oscillator"}, {"name", "osc"}, {"plug_values", {{"Waveform", voice.waveform}}}},
      {{"type", "ADSR"},
       {"name", "env"},
       {"plug_values", {{"Attack", 1}, {"Decay", 5}, {"Sustain", 7}, {"Release", 3}}}},
      {{"type", "VCA"}, {"name", "vca"}, {"plug_values", {{"Response Curve", voice.curve}}}},
      {{"type", "Pan"},
       {"name", "pan"},
       {"plug_values", {{"Pan", 1}, {"Volume", 8}, {"Fade Law", voice.fade_law}}}},
  });
  Json connections = Json::array({"io.MIDI In -> cv.MIDI In", "cv.Pitch -> osc.Pitch",
                                   "cv.Gate -> env.Gate", "env.Signal Out -> vca.Volume",
                                   "vca.Output -> pan.Input", "pan.Left Out -> io.Left",
                                   "pan.Right Out -> io.Left"});
  if (voice.filter.empty()) {
    connections.push_back("osc.Audio Out -> vca.Signal");
  } else {
    modules.push_back(
        {{"type", voice.filter}, {"name", "filter"}, {"plug_values", voice.filter_values}});
    connections.push_back("osc.Audio Out -> filter.Signal");
    connections.push_back("filter." + voice.filter_output + " -> vca.Signal");
  }
  if (voice.modulated) {
    modules.push_back({{"type", "ADSR"},
                       {"name", "mod"},
                       {"plug_values", {{"Attack", 4}, {"Decay", 4}, {"Sustain", 3}}}});
    connections.push_back("cv.Gate -> mod.Gate");
    connections.push_back("mod.Signal Out -> osc.Pulse Width");
    connections.push_back("mod.Signal Out -> pan.Pan");
    if (!voice.filter.empty()) connections.push_back("mod.Signal Out -> filter.Pitch");
  }
  return {{"root",
           {{"modules",
             Json::array(
                 {{{"type", "Container"},
                   {"name", "synth"},
                   {"plug_values", {{"Polyphony", voice.polyphony}}},
                   {"io", Json::array({{{"name", "MIDI In"}, {"direction", "in"}, {"datatype", "midi"}},
                                       {{"name", "Left"}, {"direction", "out"}, {"datatype", "audio"}}})},
                   {"modules", modules},
                   {"connections", connections}},
                  {{"type", "VST Output"}, {"name", "out"}}})},
            {"connections", Json::array({"synth.Left -> out.Audio"})}}}};
}

struct Render {
  std::vector<float> samples;
  uint64_t lane_runs = 0;  // member slices of modules of the checked type run in lanes
};

constexpr int32_t kLength = 12000;

// The voice for kLength samples in host blocks of `block`, with the same
// random notes whatever the mode.
Render RenderVoice(const Voice& voice, LaneMode mode, int32_t block, const std::type_info& checked) {
  COrvaneDocBase document = CompileDocument(ProjectFor(voice), {});
  test::StartedEngine engine(document, block, mode);
  OvAudioMaster& master = engine.master;
  const test::OutputHost& host = engine.host;
  ug_base* source = engine.ModelNoteSource();
  std::vector<const ug_base*> checked_models;
  engine.root->VisitTree([&](ug_base& generator) {
    if ((generator.Flags() & UGF_CLONE) == 0 && typeid(generator) == checked) {
      checked_models.push_back(&generator);
    }
  });
  EXPECT_NE(source, nullptr);
  EXPECT_NE(host.output, nullptr);
  if (source == nullptr || host.output == nullptr) return {};

  std::mt19937 random(1234);
  std::vector<int> held;
  Render render;
  render.samples.resize(kLength);
  for (int32_t done = 0; done < kLength; done += block) {
    const int32_t frames = std::min(block, kLength - done);
    // About one note event every event_gap samples, at any sample.
    std::uniform_int_distribution<int32_t> when(0, frames - 1);
    const int events = std::poisson_distribution<int>(frames / voice.event_gap)(random);
    std::vector<std::pair<int32_t, uint32_t>> queued;
    for (int e = 0; e < events; ++e) {
      uint32_t word;
      if (!held.empty() && random() % 3 == 0) {
        const size_t index = random() % held.size();
        word = 0x80u | (static_cast<uint32_t>(held[index]) << 8);
        held.erase(held.begin() + static_cast<std::ptrdiff_t>(index));
      } else {
        const int key = 36 + static_cast<int>(random() % 48);
        held.push_back(key);
        word = 0x90u | (static_cast<uint32_t>(key) << 8) | ((30u + random() % 97u) << 16);
      }
      queued.emplace_back(when(random), word);
    }
    std::sort(queued.begin(), queued.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [offset, word] : queued) {
      source->QueueEvent(master.SampleClock() + static_cast<uint32_t>(offset), UET_MIDI,
                         static_cast<int32_t>(word), source->plug(0), 0, true);
    }
    float* out = render.samples.data() + done;
    host.output->SetHostOutputs(&out, 1);
    master.Process(frames);
  }
  for (const ug_base* model : checked_models) render.lane_runs += VoiceLanes::RunsOf(*model);
  return render;
}

// Every mode against lanes off, for every host block size. Some kernels
// have no baseline build worth running (`baseline_lanes` false).
void ExpectLanesMatch(const Voice& voice, const std::type_info& checked,
                      bool baseline_lanes = true) {
  for (const int32_t block : {1, 97, 512, 4096}) {
    const Render alone = RenderVoice(voice, LaneMode::kOff, block, checked);
    ASSERT_EQ(alone.lane_runs, 0u);
    float loudest = 0.0f;
    for (const float sample : alone.samples) loudest = std::max(loudest, std::fabs(sample));
    ASSERT_GT(loudest, 0.01f) << "the voice is silent";
    for (const LaneMode mode : {LaneMode::kBaseline, LaneMode::kAvx2, LaneMode::kAvx512}) {
      if (mode > BestLaneMode()) continue;
      const char* const name = mode == LaneMode::kBaseline ? " baseline"
                               : mode == LaneMode::kAvx2   ? " avx2"
                                                           : " avx512";
      const Render lanes = RenderVoice(voice, mode, block, checked);
      if (mode != LaneMode::kBaseline || baseline_lanes) {
        EXPECT_GT(lanes.lane_runs, 0u) << "block " << block << name << ": no copy ran in lanes";
      } else {
        EXPECT_EQ(lanes.lane_runs, 0u);
      }
      int32_t mismatches = 0;
      for (int32_t i = 0; i < kLength && mismatches < 5; ++i) {
        const float a = alone.samples[static_cast<size_t>(i)];
        const float b = lanes.samples[static_cast<size_t>(i)];
        // Kernels keep the one-voice order of operations: the same numbers.
        if (a == b || (std::isnan(a) && std::isnan(b))) continue;
        ++mismatches;
        ADD_FAILURE() << "block " << block << name << ", sample " << i << ": alone " << a
                      << ", in lanes " << b;
      }
    }
  }
  if (BestLaneMode() != LaneMode::kAvx512) {
    GTEST_SKIP() << "this CPU lacks AVX-512: only the baseline"
                 << (BestLaneMode() == LaneMode::kAvx2 ? " and AVX2" : "")
                 << " kernels were compared";
  }
}

TEST(VoiceLanes, VcaCurvesMatchTheOneVoicePath) {
  for (const int curve : {0, 1, 2, 3}) {
    SCOPED_TRACE(curve);
    Voice voice;
    voice.curve = curve;
    ExpectLanesMatch(voice, typeid(ug_vca), false);
  }
}

TEST(VoiceLanes, PanLawsMatchTheOneVoicePath) {
  for (const int law : {0, 1, 2}) {
    for (const bool modulated : {false, true}) {
      SCOPED_TRACE(law * 10 + modulated);
      Voice voice;
      voice.fade_law = law;
      voice.modulated = modulated;
      ExpectLanesMatch(voice, typeid(ug_pan), false);
    }
  }
}

TEST(VoiceLanes, OnePoleFiltersMatchTheOneVoicePath) {
  const std::pair<const char*, const std::type_info*> filters[] = {
      {"1 Pole LP", &typeid(ug_filter_1pole)}, {"1 Pole HP", &typeid(ug_filter_1pole_hp)}};
  for (const auto& [type, checked] : filters) {
    for (const bool modulated : {false, true}) {
      SCOPED_TRACE(std::string(type) + (modulated ? " modulated" : ""));
      Voice voice;
      voice.filter = type;
      voice.filter_values = Json::object({{"Pitch", 6}});
      voice.modulated = modulated;
      ExpectLanesMatch(voice, *checked);
    }
  }
}

TEST(VoiceLanes, StateVariableOutputsMatchTheOneVoicePath) {
  for (const char* output : {"Low Pass", "Hi Pass", "Band Pass"}) {
    for (const bool modulated : {false, true}) {
      SCOPED_TRACE(std::string(output) + (modulated ? " modulated" : ""));
      Voice voice;
      voice.filter = "SV Filter";
      voice.filter_output = output;
      voice.modulated = modulated;
      ExpectLanesMatch(voice, typeid(ug_filter_sv));
    }
  }
}

TEST(VoiceLanes, MoogFilterMatchesTheOneVoicePath) {
  for (const bool modulated : {false, true}) {
    SCOPED_TRACE(modulated);
    Voice voice;
    voice.filter = "Moog Filter";
    voice.modulated = modulated;
    ExpectLanesMatch(voice, typeid(ug_filter_biquad));
  }
}

// More copies than any kernel call takes, paired or not, in every build:
// notes dense enough to keep 37 voices sounding and stealing.
TEST(VoiceLanes, MoreCopiesThanOneCallTakesMatchTheOneVoicePath) {
  struct Filter {
    const char* type;
    const char* output;
    const std::type_info* checked;
    bool resonant;
  };
  const Filter filters[] = {{"SV Filter", "Low Pass", &typeid(ug_filter_sv), true},
                            {"Moog Filter", "Output", &typeid(ug_filter_biquad), true},
                            {"1 Pole LP", "Output", &typeid(ug_filter_1pole), false}};
  for (const auto& [type, output, checked, resonant] : filters) {
    for (const bool modulated : {false, true}) {
      SCOPED_TRACE(std::string(type) + (modulated ? " modulated" : ""));
      Voice voice;
      voice.filter = type;
      voice.filter_output = output;
      if (!resonant) voice.filter_values = Json::object({{"Pitch", 6}});
      voice.modulated = modulated;
      voice.polyphony = kMostLanesPerCall + 5;
      voice.event_gap = 40;
      ExpectLanesMatch(voice, *checked);
    }
  }
}

TEST(VoiceLanes, OscillatorWaveformsMatchTheOneVoicePath) {
  // Sine, saw, ramp, triangle, pulse; the noise shapes render alone but
  // must still come out the same beside copies that do not.
  for (int waveform = 0; waveform <= 6; ++waveform) {
    for (const bool modulated : {false, true}) {
      SCOPED_TRACE(waveform * 10 + modulated);
      Voice voice;
      voice.waveform = waveform;
      voice.modulated = modulated;
      if (waveform >= 5) {
        for (const int32_t block : {97, 512}) {
          const Render alone = RenderVoice(voice, LaneMode::kOff, block, typeid(ug_vca));
          const Render lanes = RenderVoice(voice, DefaultLaneMode(), block, typeid(ug_vca));
          EXPECT_EQ(alone.samples, lanes.samples);
        }
        continue;
      }
      ExpectLanesMatch(voice, typeid(ug_oscillator2));
    }
  }
}

TEST(VoiceLanes, EnvelopeRampsMatchTheOneVoicePath) {
  Voice voice;
  ExpectLanesMatch(voice, typeid(ug_adsr));
}

}  // namespace
}  // namespace ov
