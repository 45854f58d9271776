// Static fill, sleeping and suspension.
#include <gtest/gtest.h>

#include "tests/engine/graph_fixture.h"

namespace ov::test {
namespace {

class StaticSleepTest : public GraphTest {
 protected:
  StaticSleepTest() { top.connect(source.plug(0), follower.plug(0)); }

  Source& source = Add(std::make_unique<Source>(), 2);
  Follower& follower = Add(std::make_unique<Follower>(), 1);
};

TEST_F(StaticSleepTest, StaticFillHoldsOneEngineBlockThenSleeps) {
  Start();
  float* in = source.out;
  source.plug(0)->Transmit(0, ST_RUN);
  for (int i = 0; i < kCell; ++i) in[i] = static_cast<float>(i);
  master.Process(kCell);
  EXPECT_EQ(follower.out[127], 127.0f);

  // The input turns static at cell position 100; the follower computes that
  // sample and holds it, whatever its input does afterwards.
  for (int i = 0; i < kCell; ++i) in[i] = i < 100 ? -1.0f : 99.0f;
  in[100] = 7.0f;
  source.plug(0)->Transmit(kCell + 100, ST_STATIC);
  master.Process(kCell);
  EXPECT_EQ(follower.out[99], -1.0f);
  for (int i = 100; i < kCell; ++i) ASSERT_EQ(follower.out[i], 7.0f) << i;
  EXPECT_FALSE(follower.IsSleeping());

  // Positions 0 to 100 of the next cell complete one engine block; then it
  // sleeps without touching the rest, which already holds the constant.
  for (int i = 0; i < kCell; ++i) in[i] = 55.0f;
  follower.out[101] = -5.0f;
  master.Process(kCell);
  for (int i = 0; i <= 100; ++i) ASSERT_EQ(follower.out[i], 7.0f) << i;
  EXPECT_EQ(follower.out[101], -5.0f);
  EXPECT_TRUE(follower.IsSleeping());
  EXPECT_EQ(follower.Clock(), 3u * kCell);

  follower.out[101] = 7.0f;
  master.Process(kCell);  // not visited while asleep
  EXPECT_EQ(follower.Clock(), 3u * kCell);
  for (int i = 0; i < kCell; ++i) ASSERT_EQ(follower.out[i], 7.0f) << i;
}

TEST_F(StaticSleepTest, SuspendedGeneratorIsNotWokenAndKeepsOneStaleChangePerConnector) {
  Start();
  master.Process(2 * kCell);
  ASSERT_TRUE(follower.IsSleeping());
  follower.Suspend();

  UPlug& out = *source.plug(0);
  out.Transmit(2 * kCell + 10, ST_RUN);
  out.Transmit(2 * kCell + 20, ST_STATIC);
  master.Process(kCell);
  EXPECT_TRUE(follower.IsSleeping());
  EXPECT_EQ(follower.Clock(), 2u * kCell);
  EXPECT_EQ(Events(follower), 2);

  // A change in a later cell prunes the older ones down to the latest.
  master.Process(kCell);
  out.Transmit(4 * kCell + 5, ST_RUN);
  master.Process(kCell);
  ASSERT_EQ(Events(follower), 2);
  EXPECT_EQ(follower.FirstEvent()->time_stamp, 2u * kCell + 20);
  EXPECT_EQ(follower.FirstEvent()->parm1, ST_STATIC);

  // Resumed, it catches up and takes the latest state.
  follower.Resume();
  master.Process(kCell);
  EXPECT_FALSE(follower.IsSleeping());
  EXPECT_EQ(follower.Clock(), 6u * kCell);
  EXPECT_EQ(follower.plug(0)->State(), ST_RUN);
}

}  // namespace
}  // namespace ov::test
