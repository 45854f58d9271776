// "Peak Follower", "1 KHz Tone" and "Fixed Values": coefficients against
// their formula, tracking with stored and streaming times, the tone's level
// and frequency, and a document value held on an output.
#include "modules/signal_utilities.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "tests/modules/module_rig.h"

namespace ov::test {
namespace {

TEST(PeakFollower, CoefficientsFollowTheirFormula) {
  EXPECT_NEAR(ug_peak_det::Coefficient(0.8f, 44100.0f), std::exp(-100.0 / 35280.0), 1e-7);
  EXPECT_NEAR(ug_peak_det::Coefficient(0.8f, 44100.0f), 0.99717, 1e-5);
  const float floor = ug_peak_det::Coefficient(0.001f, 44100.0f);
  EXPECT_EQ(ug_peak_det::Coefficient(0.0f, 44100.0f), floor);
  EXPECT_EQ(ug_peak_det::Coefficient(-3.0f, 44100.0f), floor);
  EXPECT_EQ(ug_peak_det::Coefficient(std::nanf(""), 44100.0f), floor);
}

TEST(PeakFollower, RisesWithTheAttackAndFallsWithTheDecay) {
  for (const bool streaming_times : {false, true}) {
    ModuleRig rig;
    auto& peak = rig.Add(std::make_unique<ug_peak_det>());
    // A -0.6 burst for 2000 samples, then silence.
    rig.Stream(peak, ug_peak_det::kSignalIn, [](uint32_t start, float* samples) {
      for (int32_t i = 0; i < ModuleRig::kCell; ++i) samples[i] = start + i < 2000 ? -0.6f : 0.0f;
    });
    if (streaming_times) {
      rig.Stream(peak, ug_peak_det::kAttack, Constant(0.1f));
      rig.Stream(peak, ug_peak_det::kDecay, Constant(0.3f));
    } else {
      rig.Set(peak, ug_peak_det::kAttack, "1");
      rig.Set(peak, ug_peak_det::kDecay, "3");
    }
    rig.Start();
    const std::vector<float> out = rig.Record(*peak.plug(ug_peak_det::kSignalOut), 6000);
    const double attack = std::exp(-100.0 / (0.1 * ModuleRig::kRate));
    const double decay = std::exp(-100.0 / (0.3 * ModuleRig::kRate));
    EXPECT_NEAR(out[0], 0.6 * (1 - attack), 1e-6) << streaming_times;
    EXPECT_NEAR(out[99], 0.6 * (1 - std::pow(attack, 100)), 1e-4) << streaming_times;
    EXPECT_NEAR(out[1999], 0.6, 1e-4);
    EXPECT_NEAR(out[2999], out[1999] * std::pow(decay, 1000), 1e-4) << streaming_times;
    EXPECT_GT(out[5999], 0.0f);
    EXPECT_FALSE(peak.IsSleeping());
  }
}

TEST(TestTone, PlaysFiveVoltsAtOneKilohertz) {
  ModuleRig rig;
  auto& tone = rig.Add(std::make_unique<ug_test_tone>());
  rig.Start();
  const std::vector<float> out = rig.Record(*tone.plug(0), 44100);
  EXPECT_NEAR(out[0], 0.5 * std::sin(2 * M_PI * 1000 / 44100), 1e-6);
  EXPECT_NEAR(*std::max_element(out.begin(), out.end()), 0.5f, 1e-4);
  EXPECT_NEAR(*std::min_element(out.begin(), out.end()), -0.5f, 1e-4);
  int rising = 0;
  for (std::size_t n = 1; n < out.size(); ++n) rising += out[n - 1] < 0 && out[n] >= 0;
  EXPECT_NEAR(rising, 1000, 1);
}

TEST(FixedValues, OutputsHoldTheDocumentsVoltages) {
  ModuleRig rig;
  auto& fixed = rig.Add(std::make_unique<ug_fixed_values>());
  fixed.AddPlug(DR_OUT, DT_FSAMPLE);
  fixed.SetUpBuffers();
  auto& first = rig.Add(std::make_unique<Follower>(), 5);
  auto& second = rig.Add(std::make_unique<Follower>(), 5);
  rig.top.connect(fixed.plug(0), first.plug(0));
  rig.top.connect(fixed.plug(1), second.plug(0));
  fixed.plug(0)->SetValueFromText("2.5");
  fixed.plug(1)->SetValueFromText("-7");
  rig.Start();
  rig.Step();
  rig.Step();
  EXPECT_EQ(first.out[100], 0.25f);
  EXPECT_EQ(second.out[100], -0.7f);
  EXPECT_TRUE(fixed.IsSleeping());
}

}  // namespace
}  // namespace ov::test
