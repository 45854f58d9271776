// "WaveShaper" and "WaveShaper2": curves built from points and formulas, the
// mapping at and beyond the ends, hostile shapes, and the table a module
// shares with its voice copies (built once per change) but with no other
// plug-in instance.
#include "modules/wave_shaper.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include "modules/evaluator.h"
#include "tests/modules/module_rig.h"

namespace ov::test {
namespace {

using Curve = ug_wave_shaper::Curve;

constexpr const char* kDefaultPoints =
    "(-5.0,-5.0)(-4.0,-4.0)(-3.0,-3.0)(-2.0,-2.0)(-1.0,-1.0)(0.0,0.0)(1.0,1.0)(2.0,2.0)(3.0,3.0)("
    "4.0,4.0)(5.0,5.0)";

Curve Filled(float value) {
  Curve curve;
  curve.fill(value);
  return curve;
}

TEST(WaveShaperCurve, TheDefaultPointsGiveTheIdentityAndEndsClamp) {
  Curve curve = Filled(9.0f);
  ug_wave_shaper::BuildFromPoints(kDefaultPoints, curve);
  // Each segment's slope is taken from its first whole index, not from the
  // point's own x, which bends the line by up to about 1.5e-3.
  for (float v = -0.5f; v <= 0.5f; v += 0.0137f) {
    EXPECT_NEAR(ug_wave_shaper::Map(curve, v), v, 2e-3) << v;
  }
  EXPECT_NEAR(ug_wave_shaper::Map(curve, 0.3f), 0.3f, 1e-3);
  EXPECT_NEAR(curve[512], 0.5f, 2e-3);
  // Beyond +-5 V the curve's ends; just below -5 V a slight extrapolation.
  EXPECT_EQ(ug_wave_shaper::Map(curve, 0.7f), curve[512]);
  EXPECT_EQ(ug_wave_shaper::Map(curve, 3e9f), curve[512]);
  EXPECT_EQ(ug_wave_shaper::Map(curve, -0.7f), curve[0]);
  EXPECT_LT(ug_wave_shaper::Map(curve, -0.5015f), curve[0]);
  // Non-numbers and infinities map through the clamped index, never out of it.
  const float inf = std::numeric_limits<float>::infinity();
  EXPECT_EQ(ug_wave_shaper::Map(curve, inf), curve[512]);
  EXPECT_EQ(ug_wave_shaper::Map(curve, -inf), curve[0]);
  EXPECT_EQ(ug_wave_shaper::Map(curve, std::nanf("")), curve[0]);
}

TEST(WaveShaperCurve, SixPointsFillUpToTheSixthAndLeaveTheRest) {
  Curve curve = Filled(9.0f);
  // A step: -5 V up to 0 V on the left half, ending at the sixth point x = 0.
  ug_wave_shaper::BuildFromPoints("(-5,-5) (-4,-4)(-3,-3)(-2,-2)(-1,-1)(0,0)", curve);
  EXPECT_NEAR(curve[0], -0.5f, 1e-6);
  EXPECT_NEAR(curve[255], 255 / 512.0 - 0.5, 2e-3);
  EXPECT_EQ(curve[256], 9.0f);
  EXPECT_EQ(curve[511], 9.0f);
  // A text that is no point list changes nothing but the end entry.
  Curve untouched = Filled(2.0f);
  ug_wave_shaper::BuildFromPoints("(1,2", untouched);
  EXPECT_EQ(untouched[0], 2.0f);
  EXPECT_EQ(untouched[512], 2.0f);
}

TEST(WaveShaperCurve, HostilePointsGiveFiniteEntries) {
  for (const char* points :
       {"(nan,inf)(1e308,-1e308)(-inf,1)(5,5)", "(-5,1e300)(1e300,1e300)(5,-1e300)",
        "(-5,-5)(-5,5)(-5,-5)(5,5)", "(-1e999,0)(1e999,1)", "(((,,,)))"}) {
    Curve curve = Filled(0.0f);
    ug_wave_shaper::BuildFromPoints(points, curve);
    for (float entry : curve) ASSERT_TRUE(std::isfinite(entry)) << points;
  }
}

TEST(WaveShaperCurve, FormulasFillEveryPointAndStoreNonFiniteValuesAsZero) {
  Evaluator evaluator;
  Curve curve = Filled(9.0f);
  ug_wave_shaper2::BuildFromFormula("5 * sin(x/PI)", evaluator, curve);
  EXPECT_NEAR(ug_wave_shaper::Map(curve, 0.5f), 5 * std::sin(5 / M_PI) / 10, 1e-6);
  EXPECT_NEAR(ug_wave_shaper::Map(curve, 0.0f), 0.0, 1e-6);
  EXPECT_NEAR(ug_wave_shaper::Map(curve, -0.25f), 5 * std::sin(-2.5 / M_PI) / 10, 1e-4);

  ug_wave_shaper2::BuildFromFormula("exp(x * 1000) + log(0) + sqrt(x)", evaluator, curve);
  for (float entry : curve) ASSERT_EQ(entry, 0.0f);
  // An error leaves the partial result: "(x" holds x.
  ug_wave_shaper2::BuildFromFormula("(x", evaluator, curve);
  EXPECT_NEAR(curve[384], 0.25f, 1e-7);
  // Only the first 200 characters are read.
  ug_wave_shaper2::BuildFromFormula(std::string(199, ' ') + "1", evaluator, curve);
  EXPECT_NEAR(curve[3], 0.1f, 1e-7);
  ug_wave_shaper2::BuildFromFormula(std::string(200, ' ') + "1", evaluator, curve);
  EXPECT_EQ(curve[3], 0.0f);
  // Assigned variables stay for later formulas.
  ug_wave_shaper2::BuildFromFormula("y = 2 * x", evaluator, curve);
  ug_wave_shaper2::BuildFromFormula("y", evaluator, curve);
  EXPECT_NEAR(curve[100], 1.0f, 1e-6);  // y was last set at x = 5 V
}

struct ShaperRig : ModuleRig {
  template <typename T>
  T& AddShaper(const char* shape, const char* input) {
    T& shaper = Add(std::make_unique<T>());
    Set(shaper, ug_wave_shaper::kShape, shape);
    if (input != nullptr) Set(shaper, ug_wave_shaper::kSignalIn, input);
    return shaper;
  }
};

TEST(WaveShaperModule, AStaticInputIsShapedThenTheModuleSleeps) {
  ShaperRig rig;
  auto& shaper = rig.AddShaper<ug_wave_shaper2>("5 * sin(x/PI)", "5");
  rig.Start();
  const std::vector<float> out = rig.Record(*shaper.plug(ug_wave_shaper::kSignalOut), 512);
  EXPECT_NEAR(out[0], 5 * std::sin(5 / M_PI) / 10, 1e-6);
  EXPECT_EQ(out[511], out[0]);
  EXPECT_TRUE(shaper.IsSleeping());
}

TEST(WaveShaperModule, AStreamingInputIsMappedSampleBySample) {
  ShaperRig rig;
  auto& shaper = rig.AddShaper<ug_wave_shaper>("(-5,5)(5,-5)", nullptr);
  rig.Stream(shaper, ug_wave_shaper::kSignalIn, [](uint32_t start, float* samples) {
    for (int32_t i = 0; i < ModuleRig::kCell; ++i) samples[i] = ((start + i) % 100) * 0.01f - 0.5f;
  });
  rig.Start();
  const std::vector<float> out = rig.Record(*shaper.plug(ug_wave_shaper::kSignalOut), 300);
  for (int32_t n = 0; n < 300; n += 7) {
    EXPECT_NEAR(out[n], 0.5f - (n % 100) * 0.01f, 2e-3) << n;  // the line through two points
  }
  EXPECT_FALSE(shaper.IsSleeping());
}

TEST(WaveShaperModule, VoiceCopiesShareOneTableBuiltOncePerChange) {
  ShaperRig rig;
  std::shared_ptr<Evaluator> evaluator = EvaluatorFor(rig.host);
  evaluator->SetVariable("count", 0.0);
  auto& shaper = rig.AddShaper<ug_wave_shaper2>("count = count + 1", "0");
  auto& voice = static_cast<ug_wave_shaper2&>(rig.top.AddChild(shaper.Clone()));
  rig.Set(voice, ug_wave_shaper::kShape, "count = count + 1");
  rig.Set(voice, ug_wave_shaper::kSignalIn, "0");
  rig.Start();
  rig.Step();
  EXPECT_EQ(&shaper.Table(), &voice.Table());
  double count = 0.0;
  bool assigned = false;
  ASSERT_EQ(evaluator->Evaluate("count", count, assigned), 0);
  EXPECT_EQ(count, 513.0);  // one build of 513 points for both voices

  // Another plug-in instance has variables of its own.
  ShaperRig other;
  EXPECT_NE(EvaluatorFor(other.host).get(), evaluator.get());
  EXPECT_EQ(EvaluatorFor(rig.host).get(), evaluator.get());
}

}  // namespace
}  // namespace ov::test
