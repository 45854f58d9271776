// Where the voices of the demo synthesisers meet their shared pan, the adder
// hands the pan a lone sounding voice's block instead of summing: the pan
// must read exactly the sum of the voices at every cell, and the cells where
// one voice sounds alone must mostly pass its block on rather than sum.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <string>
#include <typeinfo>
#include <vector>

#include "document/project_text.h"
#include "engine/audio_master.h"
#include "engine/ug_adder.h"
#include "tests/document/started_engine.h"

namespace ov {
namespace {

// The example with a "VST Output" taking its left channel, as the plug-in
// wires it.
Json ExampleWithOutput(const std::string& name) {
  std::ifstream file(std::string(OV_SOURCE_DIR) + "/examples/" + name);
  Json project = Json::parse(file);
  Json& root = project["root"];
  root["modules"].push_back({{"type", "VST Output"}, {"name", "out"}});
  root["connections"] = Json::array({"synth.Left -> out.Audio"});
  return project;
}

TEST(VoiceSum, ALoneVoiceReachesTheSharedPanWithoutSummingAndTheSumStaysExact) {
  const char* const examples[] = {"demo-synth-nofilter.json", "demo-synth-svf.json",
                                  "demo-synth.json", "demo-synth-1pole.json"};
  for (const char* example : examples) {
    for (const LaneMode mode : {LaneMode::kOff, DefaultLaneMode()}) {
      SCOPED_TRACE(std::string(example) + (mode == LaneMode::kOff ? " alone" : " in lanes"));
      const COrvaneDocBase document = CompileDocument(ExampleWithOutput(example), {});
      constexpr int32_t kBlock = 64;  // one engine cell per process call
      test::StartedEngine engine(document, kBlock, mode);
      ASSERT_EQ(engine.master.EngineBlockSize(), kBlock);
      ug_base* source = engine.ModelNoteSource();
      ug_base* adder = nullptr;
      engine.root->VisitTree([&](ug_base& generator) {
        if (typeid(generator) == typeid(ug_adder)) adder = &generator;
      });
      ASSERT_NE(source, nullptr);
      ASSERT_NE(adder, nullptr);
      ASSERT_NE(engine.host.output, nullptr);
      std::vector<const float*> voices;
      for (const connector* link : adder->plug(ug_adder::kInputPlug)->Connectors()) {
        voices.push_back(link->Source()->Data());
      }
      ASSERT_EQ(voices.size(), 16u);
      const auto& readers = adder->plug(ug_adder::kOutputPlug)->Connectors();
      ASSERT_EQ(readers.size(), 1u);
      const UPlug& pan_input = *readers.front()->Destination();
      const float* summed = adder->plug(ug_adder::kOutputPlug)->Data();

      // Notes about every 3000 samples, each held for up to 8000: often one
      // voice alone, sometimes several, with releases between.
      std::mt19937 random(99);
      std::vector<float> host(kBlock);
      int32_t passed = 0, mismatches = 0, lone = 0, several = 0;
      std::vector<std::pair<uint32_t, uint32_t>> offs;
      for (uint32_t now = 0; now < 120000; now += kBlock) {
        if (random() % 47 == 0) {
          const uint32_t key = 40 + random() % 30;
          const uint32_t at = now + random() % kBlock;
          source->QueueEvent(at, UET_MIDI, static_cast<int32_t>(0x90u | key << 8 | 100u << 16),
                             source->plug(0), 0, true);
          offs.emplace_back(at + 500 + random() % 7500, key);
        }
        for (auto off = offs.begin(); off != offs.end();) {
          if (off->first >= now + kBlock) {
            ++off;
            continue;
          }
          source->QueueEvent(off->first, UET_MIDI, static_cast<int32_t>(0x80u | off->second << 8),
                             source->plug(0), 0, true);
          off = offs.erase(off);
        }
        float* out = host.data();
        engine.host.output->SetHostOutputs(&out, 1);
        engine.master.Process(kBlock);

        int32_t sounding = 0;
        for (const float* voice : voices) {
          sounding += std::any_of(voice, voice + kBlock, [](float x) { return x != 0.0f; });
        }
        lone += sounding == 1;
        several += sounding > 1;
        const float* read = pan_input.Samples();
        passed += read != summed;
        for (int32_t i = 0; i < kBlock && mismatches < 5; ++i) {
          float sum = voices[0][i];
          for (std::size_t v = 1; v < voices.size(); ++v) sum += voices[v][i];
          if (read[i] == sum) continue;  // -0 passed on where the sum made +0
          ++mismatches;
          ADD_FAILURE() << "sample " << now + static_cast<uint32_t>(i) << ": the pan read "
                        << read[i] << ", the voices sum to " << sum;
        }
      }
      // A few cells after each change are summed while the voices settle.
      EXPECT_GT(lone, 300);
      EXPECT_GT(several, 40);
      EXPECT_GE(passed, lone * 4 / 5) << "cells of one voice passed on";
    }
  }
}

}  // namespace
}  // namespace ov
