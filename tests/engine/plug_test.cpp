#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

#include "engine/saturating_cast.h"
#include "engine/uplug.h"
#include "tests/engine/graph_fixture.h"

namespace ov::test {
namespace {

using PlugTest = GraphTest;

TEST_F(PlugTest, UnconnectedAudioInputWithText5ReadsHalfInEverySample) {
  Follower& follower = Add(std::make_unique<Follower>(), 1);
  follower.plug(0)->SetValueFromText("5");
  Start();
  master.Process(2 * kCell);
  for (int i = 0; i < kCell; ++i) {
    ASSERT_EQ(follower.in[i], 0.5f) << i;
    ASSERT_EQ(follower.out[i], 0.5f) << i;
  }
  EXPECT_EQ(&follower.plug(0)->Connectors().front()->Source()->Owner(), &top.IoModule());
  EXPECT_TRUE(follower.IsSleeping());
}

TEST_F(PlugTest, StaticIsSentOncePerSampleTimeAndLeavesPlugsInStop) {
  Probe& probe = Add(std::make_unique<Probe>(DT_FSAMPLE, 1), 1);
  Source& source = Feed(*probe.plug(0));
  Start();
  master.Process(kCell);
  probe.changes.clear();

  UPlug& out = *source.plug(0);
  out.Transmit(200, ST_STATIC);
  out.Transmit(200, ST_STATIC);
  EXPECT_EQ(out.State(), ST_STOP);
  EXPECT_EQ(Events(probe), 1);
  out.Transmit(201, ST_STATIC);
  master.Process(kCell);
  EXPECT_EQ(probe.changes,
            (std::vector<Probe::Change>{{200, 0, ST_STATIC, 0.0f}, {201, 0, ST_STATIC, 0.0f}}));
  EXPECT_EQ(probe.plug(0)->State(), ST_STOP);

  out.Transmit(300, ST_RUN);
  out.Transmit(300, ST_RUN);  // no change: nothing sent
  master.Process(kCell);
  EXPECT_EQ(probe.changes.back(), (Probe::Change{300, 0, ST_RUN, 0.0f}));
  EXPECT_EQ(probe.changes.size(), 3u);
  EXPECT_EQ(probe.plug(0)->State(), ST_RUN);
}

TEST_F(PlugTest, AStaticAtSampleZeroAfterAnotherStateStillReachesTheInput) {
  Probe& probe = Add(std::make_unique<Probe>(DT_FSAMPLE, 1), 1);
  Source& source = Feed(*probe.plug(0));
  Start();
  source.plug(0)->Transmit(0, ST_STOP);
  source.plug(0)->Transmit(0, ST_STATIC);
  master.Process(kCell);
  EXPECT_EQ(probe.changes, (std::vector<Probe::Change>{{0, 0, ST_STATIC, 0.0f}}));
}

TEST_F(PlugTest, AudioInputsRefuseSourcesWithoutABlock) {
  Source& control = Add(std::make_unique<Source>(DT_FLOAT), 2);
  Follower& follower = Add(std::make_unique<Follower>(), 1);
  EXPECT_THROW(top.connect(control.plug(0), follower.plug(0)), std::invalid_argument);
  EXPECT_THROW(top.connect(nullptr, follower.plug(0)), std::invalid_argument);
  EXPECT_TRUE(follower.plug(0)->Connectors().empty());
}

TEST_F(PlugTest, PlugNumbersOutsideTheArrayRaise) {
  Probe& probe = Add(std::make_unique<Probe>(DT_FLOAT, 4), 1);
  EXPECT_THROW(probe.plug(-1), std::invalid_argument);
  EXPECT_THROW(probe.plug(4), std::invalid_argument);
  EXPECT_EQ(probe.plug(3)->Number(), 3);

  Probe chosen;
  const int32_t bad[] = {1, 4};
  EXPECT_THROW(chosen.CreatePlugs(bad), std::invalid_argument);
  EXPECT_EQ(chosen.PlugCount(), 0);
  const int32_t some[] = {3, 1};
  chosen.CreatePlugs(some);
  EXPECT_EQ(chosen.PlugCount(), 2);
}

TEST(SaturatingCast, GivesZeroForNanAndTheLimitsBeyondTheRange) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(SaturatingCast<int32_t>(std::nan("")), 0);
  EXPECT_EQ(SaturatingCast<int32_t>(kInf), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(SaturatingCast<int32_t>(-kInf), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(SaturatingCast<int16_t>(1e30), 32767);
  EXPECT_EQ(SaturatingCast<int32_t>(-3.7), -3);
  EXPECT_EQ(SaturatingCast<uint8_t>(-1.0), 0);
}

TEST_F(PlugTest, TypedTextSaturatesIntoIntegerPlugs) {
  Source& integer = Add(std::make_unique<Source>(DT_INT), 1);
  Source& list = Add(std::make_unique<Source>(DT_ENUM), 1);
  integer.plug(0)->SetValueFromText("1e30");
  EXPECT_EQ(integer.plug(0)->IntValue(), std::numeric_limits<int32_t>::max());
  integer.plug(0)->SetValueFromText("-3.7");
  EXPECT_EQ(integer.plug(0)->IntValue(), -3);
  integer.plug(0)->SetValueFromText("nan");
  EXPECT_EQ(integer.plug(0)->IntValue(), 0);
  list.plug(0)->SetValueFromText("70000");
  EXPECT_EQ(list.plug(0)->EnumValue(), 32767);
}

// A model with a panel-only plug, a patch-stored panel plug and a plug that
// clones skip.
class Voiced : public Probe {
 public:
  std::unique_ptr<ug_base> CreateInstance() const override { return std::make_unique<Voiced>(); }
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override {
    descriptors.emplace_back(nullptr, DR_IN, "", "A", "0", "", 0, DT_FLOAT, nullptr);
    descriptors.emplace_back(nullptr, DR_IN, "", "Panel", "0", "", kPlugPanelSide, DT_FLOAT,
                             nullptr);
    descriptors.emplace_back(nullptr, DR_IN, "", "Stored", "0", "",
                             kPlugPanelSide | kPlugPatchStored, DT_FLOAT, nullptr);
    descriptors.emplace_back(nullptr, DR_IN, "", "Spare", "0", "", kPlugAutoDuplicate, DT_FLOAT,
                             nullptr);
  }
};

TEST_F(PlugTest, ClonesJoinTheChainWithTheirOwnPlugsAndVoiceFlags) {
  Voiced& model = Add(std::make_unique<Voiced>(), 7);
  model.AddPlug(DR_OUT, DT_FSAMPLE);  // a fifth plug beyond the descriptors
  model.SetFlags(UGF_PER_VOICE | UGF_SUSPENDED | UGF_OPEN);

  std::unique_ptr<ug_base> first = model.Clone();
  std::unique_ptr<ug_base> second = model.Clone();
  EXPECT_EQ(model.NextClone(), second.get());
  EXPECT_EQ(second->NextClone(), first.get());
  EXPECT_EQ(first->NextClone(), nullptr);

  // "A", "Stored", then copies of the model's plugs 2 to 4.
  ASSERT_EQ(first->PlugCount(), 5);
  EXPECT_EQ(first->plug(1)->Flags() & kPlugFlagPatchBound, kPlugFlagPatchBound);
  EXPECT_EQ(first->plug(4)->Direction(), DR_OUT);
  EXPECT_NE(first->plug(4)->Data(), model.plug(4)->Data());
  EXPECT_EQ(first->Flags(), UGF_PER_VOICE | UGF_CLONE);
  EXPECT_EQ(first->SortOrder(), 7);
  EXPECT_EQ(first->Container(), &top);
}

}  // namespace
}  // namespace ov::test
