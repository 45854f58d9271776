// Envelopes: segment timing from the rate law 2^(V - 20/3) seconds per 10 V
// at 44.1 kHz, gate edges in every phase, sustain and end segments of the
// eight-stage envelope, retrigger fades, and which voices' envelopes a note
// source retriggers.
#include "modules/envelopes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "document/graph_build.h"
#include "engine/ug_notesource.h"
#include "tests/document/document_test_support.h"
#include "tests/modules/module_rig.h"
#include "tests/modules/poly_project.h"

namespace ov::test {
namespace {

// Samples for a level change of `distance` (1.0 = 10 V) at `volts`.
double Samples(double distance, double volts) {
  return distance * std::exp2(volts - 20.0 / 3.0) * ModuleRig::kRate;
}

// The first index at or after `from` holding exactly `value`; -1 if none.
int32_t FirstAt(const std::vector<float>& samples, float value, int32_t from = 0) {
  const auto found = std::find(samples.begin() + from, samples.end(), value);
  return found == samples.end() ? -1 : static_cast<int32_t>(found - samples.begin());
}

struct AdsrRig : ModuleRig {
  // `streamed` is left for the test to stream (a value set as well would be
  // added to the stream).
  explicit AdsrRig(int32_t streamed = -1) : adsr(Add(std::make_unique<ug_adsr>())) {
    for (const auto& [plug, volts] : {std::pair{ug_adsr::kAttack, "0"},
                                      {ug_adsr::kDecay, "5"},
                                      {ug_adsr::kSustain, "7"},
                                      {ug_adsr::kRelease, "4"}}) {
      if (plug != streamed) Set(adsr, plug, volts);
    }
  }
  std::vector<float> Play(uint32_t rise, uint32_t fall, int32_t samples) {
    Stream(adsr, ug_adsr::kGate, GateBetween(rise, fall));
    Start();
    return Record(*adsr.plug(ug_adsr::kSignalOut), samples);
  }
  ug_adsr& adsr;
};

TEST(Adsr, SegmentsLastAsTheRateLawSays) {
  EXPECT_NEAR(ug_envelope_base::SegmentSeconds(0.0f), 0.00984, 1e-5);
  EXPECT_NEAR(ug_envelope_base::SegmentSeconds(0.5f), 0.315, 1e-3);
  EXPECT_NEAR(ug_envelope_base::SegmentSeconds(1.0f), 10.08, 1e-2);

  AdsrRig rig;
  const std::vector<float> out = rig.Play(100, 8000, 14080);
  EXPECT_EQ(out[99], 0.0f);
  EXPECT_GT(out[100], 0.0f);
  // Attack: 0 to 10 V at 0 V, ending exactly on 1.0.
  const int32_t peak = FirstAt(out, 1.0f);
  EXPECT_NEAR(peak - 100 + 1, Samples(1.0, 0), 1.0);
  // Decay to the 7 V sustain at 5 V, then the hold.
  const int32_t held = FirstAt(out, 0.7f, peak);
  EXPECT_NEAR(held - peak, Samples(0.3, 5), 1.0);
  EXPECT_EQ(out[7999], 0.7f);
  for (int32_t i = held; i < 8000; ++i) ASSERT_EQ(out[i], 0.7f) << i;
  // Release from 0.7 at 4 V, ending exactly on 0 and resting there.
  const int32_t rest = FirstAt(out, 0.0f, 8000);
  EXPECT_NEAR(rest - 8000 + 1, Samples(0.7, 4), 1.0);
  for (int32_t i = rest; i < 14080; ++i) ASSERT_EQ(out[i], 0.0f) << i;
}

TEST(Adsr, AGateFallDuringTheAttackReleasesFromTheLevelReached) {
  AdsrRig rig;
  const std::vector<float> out = rig.Play(0, 200, 5120);
  const double reached = 200.0 / Samples(1.0, 0);
  EXPECT_NEAR(out[199], reached, 0.005);
  EXPECT_LT(out[200], out[199]);  // no decay, no hold: straight down
  const int32_t rest = FirstAt(out, 0.0f, 200);
  EXPECT_NEAR(rest - 200 + 1, Samples(reached, 4), 2.0);
  EXPECT_LE(*std::max_element(out.begin() + 200, out.end()), out[199]);
}

TEST(Adsr, AGateRiseDuringTheReleaseRestartsTheAttackFromTheCurrentLevel) {
  AdsrRig rig;
  // Held at 0.7 by 6000, released, then pressed again at 7000.
  rig.Stream(rig.adsr, ug_adsr::kGate, [](uint32_t start, float* samples) {
    for (int32_t i = 0; i < ModuleRig::kCell; ++i) {
      const uint32_t t = start + static_cast<uint32_t>(i);
      samples[i] = t < 6000 || t >= 7000 ? 1.0f : 0.0f;
    }
  });
  rig.Start();
  const std::vector<float> out = rig.Record(*rig.adsr.plug(ug_adsr::kSignalOut), 8192);
  const double level = 0.7 - 1000.0 / Samples(1.0, 4);
  EXPECT_NEAR(out[6999], level, 0.005);
  EXPECT_GT(out[7000], out[6999]);
  const int32_t peak = FirstAt(out, 1.0f, 7000);
  EXPECT_NEAR(peak - 7000 + 1, Samples(1.0 - level, 0), 2.0);
}

TEST(Adsr, AGateThatStaysHighGivesOneAttackAndOverallLevelScalesAtOnce) {
  AdsrRig rig;
  rig.Set(rig.adsr, ug_adsr::kOverallLevel, "5");
  rig.Start();  // "Gate" keeps its default 1 V
  const std::vector<float> out = rig.Record(*rig.adsr.plug(ug_adsr::kSignalOut), 6144);
  EXPECT_FLOAT_EQ(out[0] > 0.0f ? 1.0f : 0.0f, 1.0f);
  EXPECT_EQ(FirstAt(out, 0.5f), static_cast<int32_t>(Samples(1.0, 0)) - 1);
  EXPECT_FLOAT_EQ(out[6143], 0.35f);  // 7 V sustain at half level
}

// A value that steps from `first` to `second` at sample `at`.
ModuleRig::Write Step(float first, uint32_t at, float second) {
  return [=](uint32_t start, float* samples) {
    for (int32_t i = 0; i < ModuleRig::kCell; ++i) {
      samples[i] = start + static_cast<uint32_t>(i) < at ? first : second;
    }
  };
}

TEST(Adsr, AStreamingRateSetsTheSlopeSampleBySample) {
  AdsrRig rig(ug_adsr::kAttack);
  rig.Stream(rig.adsr, ug_adsr::kAttack, Step(0.0f, 300, 0.5f));
  const std::vector<float> out = rig.Play(100, 100000, 10240);
  // 0 V for 200 samples, then 5 V.
  const double reached = 200.0 / Samples(1.0, 0);
  EXPECT_NEAR(out[299], reached, 1e-3);
  EXPECT_NEAR(out[1299] - out[299], 1000.0 / Samples(1.0, 5), 1e-3);
  // The sample that reaches 1.0 starts the decay, which renders it again.
  const auto peak = std::max_element(out.begin(), out.end()) - out.begin();
  EXPECT_NEAR(static_cast<double>(peak), 300 + (1.0 - reached) * Samples(1.0, 5), 5.0);
  EXPECT_NEAR(out[static_cast<std::size_t>(peak)], 1.0f, 1e-3);
  EXPECT_LT(out[static_cast<std::size_t>(peak) + 10], out[static_cast<std::size_t>(peak)]);
}

TEST(Adsr, AStreamingSustainIsChasedAtTheDecayRateThenFollowed) {
  AdsrRig rig(ug_adsr::kSustain);
  rig.Stream(rig.adsr, ug_adsr::kSustain, [](uint32_t start, float* samples) {
    for (int32_t i = 0; i < ModuleRig::kCell; ++i) {
      const uint32_t t = start + static_cast<uint32_t>(i);
      samples[i] = t < 3000 ? 0.7f : t < 12000 ? 0.3f : 0.5f;
    }
  });
  const std::vector<float> out = rig.Play(100, 100000, 12288);
  const int32_t peak = FirstAt(out, 1.0f);
  // Past 0.7 when the sustain moves to 0.3, the decay goes on down to it.
  EXPECT_GT(out[3000], 0.7f);
  const int32_t held = FirstAt(out, 0.3f, peak);
  EXPECT_NEAR(held - peak, Samples(0.7, 5), 5.0);
  for (int32_t i = peak + 1; i < held; ++i) ASSERT_LT(out[i], out[i - 1]) << i;
  EXPECT_EQ(out[11999], 0.3f);
  EXPECT_EQ(out[12000], 0.5f);  // then it follows at once
}

// Eight segments at the fastest rate (1.0 per 434 samples).
struct EightStageRig : ModuleRig {
  EightStageRig() : env(Add(std::make_unique<ug_8_stage>())) {
    for (int32_t i = 0; i < 8; ++i) Set(env, ug_8_stage::kFirstRate + 2 * i, "0");
  }
  std::vector<float> Play(uint32_t fall, int32_t samples) {
    Stream(env, ug_8_stage::kGate, GateBetween(0, fall));
    Start();
    return Record(*env.plug(ug_8_stage::kSignalOut), samples);
  }
  ug_8_stage& env;
};

TEST(EightStage, HoldsAtTheSustainSegmentAndWithNoneRunsThroughToRest) {
  {
    EightStageRig rig;  // "Sus Seg" 2: holds at Level 2 (8 V)
    const std::vector<float> out = rig.Play(100000, 4096);
    EXPECT_FLOAT_EQ(out[4095], 0.8f);
  }
  EightStageRig rig;
  rig.Set(rig.env, ug_8_stage::kSusSeg, "10");  // "None"
  const std::vector<float> out = rig.Play(100000, 4096);
  // 10 V, 6 V, 8 V, 2 V, then the end segment (4) to 0.
  const double to_level2 = Samples(1.0, 0) + Samples(0.4, 0) + Samples(0.2, 0);
  const int32_t at8 = FirstAt(out, 0.8f);
  EXPECT_NEAR(at8 + 1, to_level2, 3.0);
  const int32_t rest = FirstAt(out, 0.0f, at8);
  EXPECT_NEAR(rest + 1, to_level2 + Samples(0.6, 0) + Samples(0.2, 0), 5.0);
  for (int32_t i = rest; i < 4096; ++i) ASSERT_EQ(out[i], 0.0f) << i;
}

TEST(EightStage, EndSegmentZeroOnlyMovesTheLevelToZero) {
  EightStageRig rig;
  rig.Set(rig.env, ug_8_stage::kEndSeg, "0");
  const std::vector<float> out = rig.Play(1000, 2048);
  EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](float x) { return x == 0.0f; }));
}

TEST(EightStage, TheEndSegmentFallsToZeroWhateverItsLevelInputSays) {
  EightStageRig rig;
  rig.Set(rig.env, ug_8_stage::kSusSeg, "10");
  rig.Set(rig.env, ug_8_stage::kEndSeg, "1");
  rig.Stream(rig.env, ug_8_stage::kFirstLevel + 2, Constant(0.5f));  // "Level 1" runs
  const std::vector<float> out = rig.Play(100000, 2048);
  EXPECT_EQ(FirstAt(out, 1.0f) + 1, static_cast<int32_t>(Samples(1.0, 0)));
  EXPECT_EQ(out[2047], 0.0f);
}

TEST(EightStage, SegmentNumbersOutsideTheEightAreClamped) {
  EightStageRig rig;
  rig.Set(rig.env, ug_8_stage::kSusSeg, "-3");  // never holds
  rig.Set(rig.env, ug_8_stage::kEndSeg, "99");  // the last segment
  const std::vector<float> out = rig.Play(100000, 8192);
  EXPECT_EQ(FirstAt(out, 1.0f) + 1, static_cast<int32_t>(Samples(1.0, 0)));
  EXPECT_EQ(rig.env.CurrentSegment(), 7);
  EXPECT_EQ(out[8191], 0.0f);
}

TEST(Retrigger, FadesAHeldEnvelopeToZeroWithinFifteenSamplesAndSparesOneAtRest) {
  AdsrRig rig;
  rig.Stream(rig.adsr, ug_adsr::kGate, GateBetween(0, 100000));
  rig.Start();
  rig.adsr.QueueEvent(6000, UET_NOTE_RETRIGGER, 0, EventValue(64), 60, true);
  const std::vector<float> out = rig.Record(*rig.adsr.plug(ug_adsr::kSignalOut), 6144);
  EXPECT_EQ(out[5999], 0.7f);
  for (int32_t i = 6000; i < 6015; ++i) ASSERT_LT(out[i], out[i - 1]) << i;
  EXPECT_LE(FirstAt(out, 0.0f, 6000), 6014);
  EXPECT_EQ(out[6143], 0.0f);  // the gate stays high: no new attack

  AdsrRig idle;
  idle.Stream(idle.adsr, ug_adsr::kGate, Constant(0.0f));
  idle.Start();
  idle.adsr.QueueEvent(200, UET_NOTE_RETRIGGER, 0, EventValue(64), 60, true);
  const std::vector<float> quiet = idle.Record(*idle.adsr.plug(ug_adsr::kSignalOut), 512);
  EXPECT_EQ(idle.adsr.CurrentSegment(), 2);
  EXPECT_TRUE(std::all_of(quiet.begin(), quiet.end(), [](float x) { return x == 0.0f; }));
}

TEST(Retrigger, EveryVoiceWithANoteSourceRetriggersItsEnvelopeTheFirstCopyIncluded) {
  PolyProject poly;
  CUG* adsr = poly.Add("ADSR");
  CUG* combiner = poly.Add("Voice Combiner");
  poly.Connect(poly.cv, "Gate", adsr, "Gate");
  poly.Connect(adsr, "Signal Out", combiner, "Signals In");
  poly.Start();
  for (uint32_t key = 60; key < 63; ++key) poly.Midi(0, 0x640090 | key << 8);
  OvAudioMaster& master = poly.master;
  master.Process(1024);  // every voice's envelope holds
  ug_container& voices = poly.Voices();
  ASSERT_EQ(voices.VoiceCount(), 3);
  std::vector<ug_adsr*> envelopes;
  for (int32_t v = 0; v < 3; ++v) {
    for (ug_base* generator : voices.voice(v).generators) {
      if (auto* envelope = dynamic_cast<ug_adsr*>(generator)) envelopes.push_back(envelope);
    }
    ASSERT_EQ(envelopes.size(), static_cast<size_t>(v + 1));
    ASSERT_GT(envelopes.back()->Level(), 0.5f);
    voices.voice(v).note_source->QueueEvent(1030, UET_NOTE_RETRIGGER, 0, EventValue(64), 60 + v,
                                            true);
  }
  master.Process(64);
  for (const ug_adsr* envelope : envelopes) EXPECT_EQ(envelope->Level(), 0.0f);
}

TEST(Retrigger, AnEnvelopeSharedByEveryVoiceIsNeverRetriggered) {
  // Gated by its default, the envelope does not depend on the voices.
  PolyProject poly;
  CUG* shared = poly.Add("ADSR");
  poly.Start();
  auto& adsr = dynamic_cast<ug_adsr&>(*poly.build.GeneratorOf(*shared));
  ASSERT_EQ(adsr.Flags() & UGF_PER_VOICE, 0u);
  poly.master.Process(6144);  // held at the sustain level
  ASSERT_EQ(adsr.Level(), 0.7f);
  // The pedal holds key 60, which then comes again: its voice is retriggered.
  poly.Midi(6144, 0x7F40B0);
  poly.Midi(6150, 0x643C90);
  poly.Midi(6200, 0x003C80);
  poly.Midi(6250, 0x643C90);
  const UPlug& out = *adsr.plug(ug_adsr::kSignalOut);
  for (int cell = 0; cell < 16; ++cell) {
    poly.master.Process(64);
    const float* samples = out.Data();
    ASSERT_TRUE(std::all_of(samples, samples + 64, [](float x) { return x == 0.7f; })) << cell;
  }
  EXPECT_TRUE(poly.Voices().voice(0).retriggered || poly.Voices().voice(1).retriggered);
}

}  // namespace
}  // namespace ov::test
