// "Multistage Env": the shape texts and the segment arrays they give, the
// default shape played against exact sample times, and edits reaching a
// playing envelope and the patch's text.
#include "modules/multistage_envelope.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "document/envelope_shape.h"
#include "tests/modules/module_rig.h"

namespace ov::test {
namespace {

constexpr ShapeSegment kEnd{0.0f, 10.0f, ShapeSegment::kLast};

TEST(ShapeText, PointsSustainAndTerminatorsFollowTheText) {
  struct Case {
    const char* text;
    std::vector<ShapeSegment> segments;
  };
  const Case cases[] = {
      {"(0.1,1.0)S(0.4,0.8)(1.0,0.0)",
       {{1.0f, 10.0f, 0}, {0.8f, 0.2f / 0.3f, 1}, {0.0f, 0.8f / 0.6f, 2}, kEnd, kEnd}},
      {"", {kEnd, kEnd}},
      {"(1,2", {kEnd, kEnd}},
      {")(", {kEnd, kEnd}},
      {"(,)", {{0.0f, 0.0f, 2}, kEnd, kEnd}},
      {"(a,b)(0.5,0.5)", {{0.0f, 0.0f, 0}, {0.5f, 1.0f, 2}, kEnd, kEnd}},
      {"(1,nan)(2,inf)", {{0.0f, 0.0f, 0}, {0.0f, 0.0f, 2}, kEnd, kEnd}},
      // Points closer than 0.0001 s count as that far apart.
      {"(0,1)", {{1.0f, 10000.0f, 2}, kEnd, kEnd}},
      {"(0.2,0.5)(0.4,1.0)", {{0.5f, 2.5f, 0}, {1.0f, 2.5f, 2}, kEnd, kEnd}},
  };
  for (const Case& c : cases) {
    const ShapeSegments got = EnvelopeShape::Parse(c.text).Segments();
    ASSERT_EQ(got.size(), c.segments.size()) << c.text;
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_FLOAT_EQ(got[i].level, c.segments[i].level) << c.text << " " << i;
      EXPECT_NEAR(got[i].rate, c.segments[i].rate, 1e-3f) << c.text << " " << i;
      EXPECT_EQ(got[i].kind, c.segments[i].kind) << c.text << " " << i;
    }
  }
  EXPECT_EQ(EnvelopeShape::Parse("(0.1,1.0)S(0.4,0.8)(1.0,0.0)").Text(),
            "(0.100000,1.000000)S(0.400000,0.800000)(1.000000,0.000000)");
}

struct EnvelopeRig : ModuleRig {
  explicit EnvelopeRig(const char* shape) : env(Add(std::make_unique<ug_envelope_ms>())) {
    channel->Publish(std::make_unique<const ShapeSegments>(EnvelopeShape::Parse(shape).Segments()));
    env.AttachShapes(channel);
  }
  std::vector<float> Play(uint32_t fall, int32_t samples) {
    Stream(env, ug_envelope_ms::kGate, GateBetween(0, fall));
    Start();
    return Record(*env.plug(ug_envelope_ms::kSignalOut), samples);
  }
  std::shared_ptr<ShapeChannel> channel = std::make_shared<ShapeChannel>();
  ug_envelope_ms& env;
};

TEST(MultistageEnv, TheDefaultShapeRisesHoldsAndFallsOnTime) {
  EnvelopeRig rig(Ctl_Env_Edit::kDefaultShape.data());
  constexpr uint32_t kFall = 30000;
  const std::vector<float> out = rig.Play(kFall, 60000);
  const auto first_at = [&](float level, std::size_t from) {
    for (std::size_t i = from; i < out.size(); ++i) {
      if (out[i] == level) return static_cast<int64_t>(i);
    }
    return int64_t{-1};
  };
  EXPECT_NEAR(static_cast<double>(first_at(1.0f, 0)), 4410.0, 1.0);
  EXPECT_NEAR(static_cast<double>(first_at(0.8f, 4500)), 0.4 * 44100.0, 2.0);
  EXPECT_FLOAT_EQ(out[kFall - 1], 0.8f);  // held while the gate is high
  EXPECT_NEAR(static_cast<double>(first_at(0.0f, kFall)), kFall + 0.6 * 44100.0, 2.0);
  EXPECT_EQ(out.back(), 0.0f);
}

TEST(MultistageEnv, ALastPointAboveZeroRestsThereAndNoSustainRunsThrough) {
  const struct {
    const char* shape;
    float rest;
  } cases[] = {{"(0.1,1.0)(0.2,0.5)", 0.5f}, {"(0.1,1.0)(0.2,0.0)", 0.0f}};
  for (const auto& c : cases) {
    EnvelopeRig rig(c.shape);
    const std::vector<float> out = rig.Play(40000, 20000);  // the gate stays high
    EXPECT_FLOAT_EQ(out[9000], c.rest) << c.shape;
    EXPECT_FLOAT_EQ(out.back(), c.rest) << c.shape;
  }
  EnvelopeRig unpublished("");
  unpublished.channel = std::make_shared<ShapeChannel>();
  unpublished.env.AttachShapes(unpublished.channel);
  const std::vector<float> silent = unpublished.Play(40000, 2000);
  EXPECT_EQ(*std::max_element(silent.begin(), silent.end()), 0.0f);
}

TEST(MultistageEnv, EditsGlideTheHeldLevelAndReachThePatchText) {
  Ctl_Env_Edit edit;
  edit.ReadCurrentPatch();  // an empty patch gets the default shape
  ASSERT_EQ(edit.points().size(), 3u);
  EXPECT_EQ(edit.ValueText(-1), Ctl_Env_Edit::kDefaultShape);

  EnvelopeRig rig("");
  rig.env.AttachShapes(edit.channel());
  rig.Stream(rig.env, ug_envelope_ms::kGate, GateBetween(0, 100000));
  rig.Start();
  rig.Record(*rig.env.plug(ug_envelope_ms::kSignalOut), 22050);
  EXPECT_FLOAT_EQ(rig.env.Level(), 0.8f);
  // The sustain level moves to 5 V while held: reached at the sustain rate.
  edit.SetCurSegment(1);
  edit.SetSegmentLevel(5.0f);
  rig.env.ReceiveNotify(ug_envelope_ms::kNotifyNewShape, 0);
  const std::vector<float> glide = rig.Record(*rig.env.plug(ug_envelope_ms::kSignalOut), 30000);
  EXPECT_GT(glide[100], 0.5f);
  EXPECT_FLOAT_EQ(glide.back(), 0.5f);
  EXPECT_EQ(edit.ValueText(-1), "(0.100000,1.000000)S(0.400000,0.500000)(1.000000,0.000000)");

  // The last point's level stays; deleting clears the selection; a shape
  // without its sustain point is written without "S".
  edit.SetCurSegment(2);
  edit.SetSegmentLevel(3.0f);
  EXPECT_EQ(edit.points()[2].level, 0.0f);
  edit.DeleteSegment(1);
  EXPECT_FALSE(edit.selected());
  EXPECT_FALSE(edit.sustain());
  EXPECT_EQ(edit.ValueText(-1), "(0.100000,1.000000)(1.000000,0.000000)");
  edit.InsertSegment(0);
  EXPECT_EQ(edit.points()[0], (env_seg{0.5f, 0.05f}));
  edit.MovePoint(1, 5.0f, 2.0f);  // kept before the next point, level within 1
  EXPECT_EQ(edit.points()[1], (env_seg{1.0f, 1.0f}));
  edit.DeleteSegment(2);  // the last point is never deleted
  EXPECT_EQ(edit.points().size(), 3u);
  // Old arrays are freed once no generator holds them.
  EXPECT_LE(edit.channel()->Kept(), 2u);
}

}  // namespace
}  // namespace ov::test
