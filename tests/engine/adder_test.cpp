#include <gtest/gtest.h>

#include "engine/ug_adder.h"
#include "tests/engine/graph_fixture.h"

namespace ov::test {
namespace {

class AdderTest : public GraphTest {
 protected:
  // Three audio sources holding 1, 2 and 4 into one follower.
  void BuildThreeIntoOne() {
    for (float value : {1.0f, 2.0f, 4.0f}) {
      sources.push_back(&Feed(*follower.plug(0)));
      sources.back()->plug(0)->Block()->Fill(value);
      if (sources.size() == 2) adder = top.Children().back().get();
    }
    ASSERT_NE(dynamic_cast<ug_adder*>(adder), nullptr);
    adder->SetSortOrder(2);
  }

  Follower& follower = Add(std::make_unique<Follower>(), 1);
  std::vector<Source*> sources;
  ug_base* adder = nullptr;
};

TEST_F(AdderTest, SecondAndThirdSourcesShareOneAdderThatSums) {
  BuildThreeIntoOne();
  EXPECT_EQ(top.Children().size(), 5u);  // one adder for three sources
  EXPECT_EQ(follower.plug(0)->Redirect(), adder->plug(ug_adder::kInputPlug));
  EXPECT_EQ(adder->plug(ug_adder::kInputPlug)->Connectors().size(), 3u);
  ASSERT_EQ(follower.plug(0)->Connectors().size(), 1u);
  EXPECT_EQ(&follower.plug(0)->Connectors().front()->Source()->Owner(), adder);

  Start();
  master.Process(kCell);
  for (int i = 0; i < kCell; ++i) ASSERT_EQ(follower.out[i], 7.0f) << i;
}

TEST_F(AdderTest, RunsWhileAnySourceRunsAndSleepsWhenAllAreStatic) {
  BuildThreeIntoOne();
  Start();
  master.Process(2 * kCell);
  EXPECT_TRUE(adder->IsSleeping());
  EXPECT_TRUE(follower.IsSleeping());

  float* ramp = sources[0]->plug(0)->Data();
  for (int i = 0; i < kCell; ++i) ramp[i] = static_cast<float>(i);
  sources[0]->plug(0)->Transmit(2 * kCell, ST_RUN);
  master.Process(kCell);
  EXPECT_FALSE(adder->IsSleeping());
  for (int i = 0; i < kCell; ++i) ASSERT_EQ(follower.out[i], i + 6.0f) << i;

  sources[0]->plug(0)->Block()->Fill(10.0f);
  sources[0]->plug(0)->Transmit(3 * kCell, ST_STATIC);
  master.Process(2 * kCell);
  for (int i = 0; i < kCell; ++i) ASSERT_EQ(follower.out[i], 16.0f) << i;
  EXPECT_TRUE(adder->IsSleeping());
}

// A follower that lets an adder hand it a source's block.
class MovableFollower : public Follower {
 public:
  bool InputBlocksMayMove() const override { return true; }
};

// One running source (a ramp) among silent ones is read in place from the
// next cell on; a second source starting mid-cell is summed from its start
// time, with the samples before it as they were; silence again passes again.
TEST(AdderPassingTest, ALoneRunningSourceIsReadInPlaceUntilAnotherSounds) {
  struct Case {
    const char* name;
    bool reader_allows;
    float other_value;  // what the third source holds while it is static
    bool passes;
  };
  const Case cases[] = {
      {"silent others", true, 0.0f, true},
      {"a reader that keeps addresses", false, 0.0f, false},
      {"another holds a value", true, 0.5f, false},
      {"another holds -0", true, -0.0f, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GraphRig rig;
    constexpr int32_t kCell = GraphRig::kCell;
    Follower& follower = c.reader_allows ? rig.Add(std::make_unique<MovableFollower>(), 1)
                                         : rig.Add(std::make_unique<Follower>(), 1);
    std::vector<Source*> sources;
    ug_base* adder = nullptr;
    for (int i = 0; i < 3; ++i) {
      sources.push_back(&rig.Feed(*follower.plug(0)));
      if (i == 1) adder = rig.top.Children().back().get();  // made with the second source
    }
    ASSERT_NE(dynamic_cast<ug_adder*>(adder), nullptr);
    adder->SetSortOrder(2);
    float* ramp = sources[1]->plug(0)->Data();
    for (int i = 0; i < kCell; ++i) ramp[i] = static_cast<float>(i + 1);
    sources[0]->plug(0)->Block()->Fill(0.0f);
    sources[2]->plug(0)->Block()->Fill(c.other_value);
    rig.Start();
    sources[1]->plug(0)->Transmit(0, ST_RUN);
    rig.master.Process(2 * kCell);
    EXPECT_EQ(follower.in == ramp, c.passes);
    const auto expect_out = [&](float other_before, float other_after, int32_t from) {
      for (int i = 0; i < kCell; ++i) {
        ASSERT_EQ(follower.out[i], ramp[i] + (i < from ? other_before : other_after)) << i;
      }
    };
    expect_out(c.other_value, c.other_value, 0);

    // The third source sounds from sample 5 of the third cell.
    float* third = sources[2]->plug(0)->Data();
    for (int i = 5; i < kCell; ++i) third[i] = 4.0f;
    sources[2]->plug(0)->Transmit(2 * kCell + 5, ST_RUN);
    rig.master.Process(kCell);
    EXPECT_NE(follower.in, ramp);
    expect_out(c.other_value, 4.0f, 5);
    std::fill_n(third, 5, 4.0f);
    rig.master.Process(kCell);
    expect_out(4.0f, 4.0f, 0);

    // Silent again: passed on again from a later cell.
    sources[2]->plug(0)->Block()->Fill(c.other_value);
    sources[2]->plug(0)->Transmit(4 * kCell, ST_STATIC);
    rig.master.Process(3 * kCell);
    EXPECT_EQ(follower.in == ramp, c.passes);
    expect_out(c.other_value, c.other_value, 0);

    // A suspended voice keeps the running state it last sent and stays
    // quiet; resumed, it is summed from the adder's next slice on.
    sources[0]->Suspend();
    sources[0]->plug(0)->Transmit(7 * kCell, ST_RUN);
    rig.master.Process(2 * kCell);
    EXPECT_EQ(follower.in == ramp, c.passes);
    expect_out(c.other_value, c.other_value, 0);
    sources[0]->plug(0)->Block()->Fill(2.0f);
    sources[0]->Resume();
    rig.master.Process(kCell);
    EXPECT_NE(follower.in, ramp);
    expect_out(c.other_value + 2.0f, c.other_value + 2.0f, 0);
  }
}

TEST_F(AdderTest, MidiFromEverySourceReachesTheInputThroughOneAdder) {
  Probe& probe = Add(std::make_unique<Probe>(DT_MIDI, 1), 1);
  Source& first = Feed(*probe.plug(0));
  Source& second = Feed(*probe.plug(0));
  ug_base& midi_adder = *top.Children().back();
  ASSERT_NE(dynamic_cast<ug_adder_midi*>(&midi_adder), nullptr);
  midi_adder.SetSortOrder(2);
  Start();

  constexpr uint32_t kNoteOnChannel1 = 0x7F3C90;
  constexpr uint32_t kNoteOnChannel2 = 0x7F3C91;
  constexpr uint32_t kClock = 0xF8;
  first.SendMidi(*first.plug(0), 5, kNoteOnChannel1);
  second.SendMidi(*second.plug(0), 7, kNoteOnChannel2);
  master.Process(kCell);
  EXPECT_EQ(probe.midi, (std::vector<Probe::Midi>{{5, kNoteOnChannel1}, {7, kNoteOnChannel2}}));

  // The receiving input's channel filter applies after the adder.
  probe.midi.clear();
  probe.plug(0)->MidiInput().channel = 0;
  second.SendMidi(*second.plug(0), 130, kNoteOnChannel2);
  second.SendMidi(*second.plug(0), 131, kClock);
  first.SendMidi(*first.plug(0), 132, kNoteOnChannel1);
  master.Process(kCell);
  EXPECT_EQ(probe.midi, (std::vector<Probe::Midi>{{131, kClock}, {132, kNoteOnChannel1}}));
}

}  // namespace
}  // namespace ov::test
