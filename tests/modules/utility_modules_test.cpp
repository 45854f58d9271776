// VCA, Pan, X-Mix, Clipper and Delay: gains against their closed formulas,
// which outputs turn static, crossed clipping limits, delay lengths and
// fractions, and a delay tail playing out after its input stops.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <tuple>
#include <vector>

#include "modules/clipper.h"
#include "modules/delay.h"
#include "modules/level_curves.h"
#include "modules/pan.h"
#include "modules/vca.h"
#include "tests/modules/module_rig.h"
#include "tests/modules/poly_project.h"

namespace ov::test {
namespace {

bool AllEqual(const std::vector<float>& samples, float value) {
  return std::all_of(samples.begin(), samples.end(), [=](float x) { return x == value; });
}

TEST(Vca, GainCurvesMeetTheirFormulas) {
  for (const int16_t curve :
       {ug_vca::kDecibelOld, ug_vca::kExponential, ug_vca::kLinear, ug_vca::kDecibel}) {
    EXPECT_FLOAT_EQ(ug_vca::Gain(1.0f, curve), 1.0f) << curve;  // 10 V: unity
    EXPECT_EQ(ug_vca::Gain(0.0f, curve), 0.0f) << curve;
    EXPECT_EQ(ug_vca::Gain(-0.3f, curve), 0.0f) << curve;
    EXPECT_EQ(ug_vca::Gain(NAN, curve), 0.0f) << curve;
  }
  const double e3 = std::exp(-3.0);
  EXPECT_NEAR(ug_vca::Gain(0.5f, ug_vca::kExponential), (std::exp(-1.5) - e3) / (1 - e3), 1e-6);
  EXPECT_NEAR(ug_vca::Gain(0.5f, ug_vca::kExponential), 0.1824, 1e-4);
  EXPECT_NEAR(ug_vca::Gain(2.0f, ug_vca::kDecibel), 88.0, 0.1);  // 20 V: +38.9 dB
  EXPECT_NEAR(20 * std::log10(ug_vca::Gain(0.2f, ug_vca::kDecibel)), -31.1111, 1e-3);
  EXPECT_NEAR(ug_vca::Gain(0.2f, ug_vca::kDecibelOld), 1e-4, 1e-9);  // 2 V: -80 dB
  // Below 0.01 V the gain fades linearly to 0.
  EXPECT_NEAR(ug_vca::Gain(0.0005f, ug_vca::kLinear), 0.0005 * 0.0005 * 1000, 1e-9);
}

struct VcaRig : ModuleRig {
  explicit VcaRig(const char* curve) : vca(Add(std::make_unique<ug_vca>())) {
    Set(vca, ug_vca::kResponseCurve, curve);
  }
  ug_vca& vca;
};

TEST(Vca, AStreamingVolumeReadsTheCurveTablesCloseToTheFormula) {
  for (const auto& [curve, volume] :
       {std::pair{"1", 0.5f}, {"3", 0.6f}, {"0", 0.35f}, {"3", 1.5f}, {"2", 0.45f}}) {
    VcaRig rig(curve);
    rig.Stream(rig.vca, ug_vca::kSignal, Constant(0.5f));
    rig.Stream(rig.vca, ug_vca::kVolume, Constant(volume));
    rig.Start();
    const std::vector<float> out = rig.Record(*rig.vca.plug(ug_vca::kOutput), 256);
    const float expected = 0.5f * ug_vca::Gain(volume, static_cast<int16_t>(curve[0] - '0'));
    EXPECT_NEAR(out[200], expected, 2e-3 * expected) << curve << " " << volume;
  }
}

TEST(Vca, ASilentVolumeOrASilentSignalGivesAStaticZero) {
  {
    VcaRig rig("1");
    rig.Stream(rig.vca, ug_vca::kSignal, Constant(0.5f));
    rig.Set(rig.vca, ug_vca::kVolume, "0");
    rig.Start();
    EXPECT_TRUE(AllEqual(rig.Record(*rig.vca.plug(ug_vca::kOutput), 512), 0.0f));
    EXPECT_TRUE(rig.vca.IsSleeping());
  }
  VcaRig rig("3");
  rig.Set(rig.vca, ug_vca::kSignal, "0");
  rig.Stream(rig.vca, ug_vca::kVolume, Constant(0.8f));
  rig.Start();
  EXPECT_TRUE(AllEqual(rig.Record(*rig.vca.plug(ug_vca::kOutput), 512), 0.0f));
  EXPECT_TRUE(rig.vca.IsSleeping());
}

struct PanRig : ModuleRig {
  PanRig(const char* pan, const char* law) : module(Add(std::make_unique<ug_pan>())) {
    Set(module, ug_pan::kPan, pan);
    Set(module, ug_pan::kFadeLaw, law);
    Set(module, ug_pan::kVolume, "10");
    Stream(module, ug_pan::kInput, Constant(0.5f));
    Start();
    Record(*module.plug(ug_pan::kLeftOut), 256);
  }
  ug_pan& module;
};

TEST(Pan, LawsShareTheSignalAtTheCentreAndMinusFiveVoltsIsAllLeft) {
  const PanRig intensity("0", "0");
  EXPECT_FLOAT_EQ(intensity.module.Gain1(), 0.5f);
  EXPECT_FLOAT_EQ(intensity.module.Gain2(), 0.5f);
  for (const char* law : {"1", "2"}) {
    const PanRig power("0", law);
    EXPECT_NEAR(power.module.Gain1(), std::sqrt(0.5), 1e-6) << law;
    EXPECT_NEAR(power.module.Gain2(), std::sqrt(0.5), 1e-6) << law;
    EXPECT_NEAR(power.module.plug(ug_pan::kRightOut)->Data()[100], 0.5 * std::sqrt(0.5), 1e-6);
  }
  for (const char* law : {"0", "1", "2"}) {
    const PanRig left("-5", law);
    EXPECT_FLOAT_EQ(left.module.plug(ug_pan::kLeftOut)->Data()[100], 0.5f) << law;
    EXPECT_EQ(left.module.plug(ug_pan::kRightOut)->Data()[100], 0.0f) << law;
  }
  EXPECT_NEAR(ug_pan::VolumeGain(DecibelCurve()->entries.data(), 2.0f), 88.0, 0.1);
}

TEST(Pan, AStaticVolumeOfZeroSilencesBothOutputsWhileTheInputRuns) {
  ModuleRig silent;
  ug_pan& pan = silent.Add(std::make_unique<ug_pan>());
  silent.Set(pan, ug_pan::kVolume, "0");
  silent.Stream(pan, ug_pan::kInput, Constant(0.5f));
  silent.Start();
  EXPECT_TRUE(AllEqual(silent.Record(*pan.plug(ug_pan::kLeftOut), 512), 0.0f));
  EXPECT_TRUE(AllEqual(std::vector<float>(pan.plug(ug_pan::kRightOut)->Data(),
                                          pan.plug(ug_pan::kRightOut)->Data() + 128),
                       0.0f));
  EXPECT_TRUE(pan.IsSleeping());
}

TEST(CrossFade, PlusFiveVoltsPassesAAloneAndMinusFiveBAlone) {
  for (const auto& [mix, expected] : {std::pair{"5", 0.25f}, {"-5", -0.5f}}) {
    ModuleRig rig;
    ug_cross_fade& fade = rig.Add(std::make_unique<ug_cross_fade>());
    rig.Set(fade, ug_cross_fade::kMix, mix);
    rig.Stream(fade, ug_cross_fade::kInputA, Constant(0.25f));
    rig.Stream(fade, ug_cross_fade::kInputB, Constant(-0.5f));
    rig.Start();
    EXPECT_FLOAT_EQ(rig.Record(*fade.plug(ug_cross_fade::kSignalOut), 256)[200], expected) << mix;
  }
}

TEST(Clipper, CrossedLimitsGiveTheHighLimitAboveItAndTheLowOneBelowTheLow) {
  ModuleRig rig;
  ug_clipper& clipper = rig.Add(std::make_unique<ug_clipper>());
  rig.Set(clipper, ug_clipper::kHiLimit, "1");
  rig.Set(clipper, ug_clipper::kLoLimit, "2");
  rig.Stream(clipper, ug_clipper::kSignalIn, [](uint32_t, float* samples) {
    for (int32_t i = 0; i < ModuleRig::kCell; ++i) samples[i] = i % 2 == 0 ? 0.15f : 0.05f;
  });
  rig.Start();
  const std::vector<float> out = rig.Record(*clipper.plug(ug_clipper::kSignalOut), 128);
  EXPECT_FLOAT_EQ(out[10], 0.1f);  // 1.5 V -> 1 V
  EXPECT_FLOAT_EQ(out[11], 0.2f);  // 0.5 V -> 2 V
}

struct DelayRig : ModuleRig {
  DelayRig(const char* seconds, const char* modulation, const char* interpolate)
      : delay(Add(std::make_unique<ug_delay>())) {
    Set(delay, ug_delay::kDelayTime, seconds);
    Set(delay, ug_delay::kModulation, modulation);
    Set(delay, ug_delay::kInterpolate, interpolate);
  }
  ug_delay& delay;
};

// One impulse at sample 100.
void Impulse(uint32_t start, float* samples) {
  for (int32_t i = 0; i < ModuleRig::kCell; ++i) samples[i] = start + i == 100 ? 1.0f : 0.0f;
}

TEST(Delay, AQuarterSecondLineDelaysByHalfPlusOneAtZeroVolts) {
  for (const char* interpolate : {"0", "1"}) {
    DelayRig rig("0.25", "0", interpolate);
    rig.Stream(rig.delay, ug_delay::kSignalIn, Impulse);
    rig.Start();
    const std::vector<float> out = rig.Record(*rig.delay.plug(ug_delay::kSignalOut), 5760);
    EXPECT_EQ(rig.delay.LineLength(), 11025);
    EXPECT_EQ(rig.delay.Offset(), 5512);
    EXPECT_FLOAT_EQ(rig.delay.Fraction(), 0.5f);
    if (interpolate[0] == '0') {
      EXPECT_EQ(out[100 + 5513], 1.0f);  // 5513 samples later
      EXPECT_EQ(out[100 + 5512], 0.0f);
    } else {
      EXPECT_FLOAT_EQ(out[100 + 5512], 0.5f);  // 5512.5 samples later
      EXPECT_FLOAT_EQ(out[100 + 5513], 0.5f);
    }
  }
}

TEST(Delay, Delay2TakesNoDelayAtZeroVoltsAndTheWholeLineAtTen) {
  // A tenth of a second: 4410 samples. The read point is (1 - modulation) x
  // L samples on from the write point, at least one, so the delay is
  // L less that.
  for (const auto& [volts, offset, delay] :
       {std::tuple{"5", 2205, 2205}, {"10", 1, 4409}, {"0", 4410, 0}}) {
    ModuleRig rig;
    ug_delay& delay2 = rig.Add(std::make_unique<ug_delay2>());
    rig.Set(delay2, ug_delay::kDelayTime, "0.1");
    rig.Set(delay2, ug_delay::kModulation, volts);
    rig.Stream(delay2, ug_delay::kSignalIn, Impulse);
    rig.Start();
    const std::vector<float> out = rig.Record(*delay2.plug(ug_delay::kSignalOut), 4608);
    EXPECT_EQ(delay2.Offset(), offset) << volts;
    EXPECT_EQ(out[100 + delay], 1.0f) << volts;
    EXPECT_EQ(std::count(out.begin(), out.end(), 1.0f), 1) << volts;
  }
}

TEST(Delay, AVoiceCopyHoldsALineForItsOwnTimeOnly) {
  // Sixty-four voices, each with a quarter-second "Delay": 2.8 MB of lines,
  // where ten seconds for each would take 113 MB.
  PolyProject poly(64);
  CUG* delay = poly.Add("Delay");
  poly.Connect(poly.cv, "Pitch", delay, "Modulation");
  poly.Start();
  const std::vector<ug_delay*> copies = poly.PerVoice<ug_delay>(*delay);
  ASSERT_EQ(copies.size(), 64u);
  std::size_t bytes = 0;
  for (const ug_delay* copy : copies) {
    EXPECT_EQ(copy->LongestTime(), 0.25f);
    bytes += copy->LineCapacity() * sizeof(float);
  }
  EXPECT_LT(bytes, std::size_t{20} << 20);
}

TEST(Delay, ALineIsSizedForTheLongestTimeItsDelayTimeCanReach) {
  ModuleRig rig;
  ug_delay& fixed = rig.Add(std::make_unique<ug_delay>());
  rig.Set(fixed, ug_delay::kDelayTime, "0.5");
  // A patch parameter drives a constant source, as the graph build makes.
  ug_delay& driven = rig.Add(std::make_unique<ug_delay>());
  UPlug& constant = *rig.top.IoModule().AddConstantSource(DT_FLOAT);
  constant.SetValueFromText("0.5");
  rig.top.connect(&constant, driven.plug(ug_delay::kDelayTime));
  driven.OnDrivenByParameter(ug_delay::kDelayTime, 2.0f);
  ug_delay& fed = rig.Add(std::make_unique<ug_delay>());
  rig.Feed(*fed.plug(ug_delay::kDelayTime));  // another module's output
  rig.Start();
  EXPECT_EQ(fixed.LineCapacity(), 22051u);
  EXPECT_EQ(driven.LineCapacity(), 88201u);
  EXPECT_EQ(fed.LineCapacity(), 441001u);

  EXPECT_EQ(driven.LineLength(), 22050);

  // A longer time later is cut to the line the engine opened with.
  constant.Owner().QueueEvent(rig.master.SampleClock(), UET_SET_PLUG_VALUE, constant.Number(),
                              nullptr, std::bit_cast<int32_t>(5.0f), true);
  rig.Record(*driven.plug(ug_delay::kSignalOut), 256);
  EXPECT_EQ(driven.LineLength(), 88201);
}

TEST(Delay, LineLengthsStayBetweenOneSampleAndTenSeconds) {
  DelayRig none("0", "0", "0");
  none.Stream(none.delay, ug_delay::kSignalIn, Impulse);
  none.Start();
  EXPECT_EQ(none.Record(*none.delay.plug(ug_delay::kSignalOut), 128)[100], 1.0f);
  EXPECT_EQ(none.delay.LineLength(), 1);

  DelayRig longest("20", "0", "0");
  longest.Start();
  EXPECT_EQ(longest.delay.LineLength(), 441000);
}

TEST(Delay, TheTailRunsUntilALineOfZerosThenTurnsStatic) {
  DelayRig rig("0.0078125", "5", "0");  // 344.5 samples, so 344; +5 V: the longest delay
  rig.Stream(rig.delay, ug_delay::kSignalIn, Impulse);
  Probe& probe = rig.Add(std::make_unique<Probe>(DT_FSAMPLE, 1), 1);
  rig.top.connect(rig.delay.plug(ug_delay::kSignalOut), probe.plug(0));
  rig.Start();
  rig.Record(*rig.delay.plug(ug_delay::kSignalOut), 256);
  rig.drives.front().source->plug(0)->Transmit(256, ST_STATIC);  // the input stops at 0
  const std::vector<float> out = rig.Record(*rig.delay.plug(ug_delay::kSignalOut), 768);
  ASSERT_EQ(rig.delay.LineLength(), 344);
  EXPECT_EQ(out[100 + 343 - 256], 1.0f);
  // The echo's cell ends at 512; 344 zeros later the cell ending at 896
  // completes the count, and the output turns static there.
  ASSERT_FALSE(probe.changes.empty());
  EXPECT_EQ(probe.changes.back(), (Probe::Change{896, 0, ST_STATIC, 0.0f}));
  for (const Probe::Change& change : probe.changes) EXPECT_NE(change.clock, 768u);
}

}  // namespace
}  // namespace ov::test
