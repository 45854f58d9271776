#include "engine/audio_master.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/ug_container.h"
#include "tests/engine/engine_test_support.h"

namespace ov::test {
namespace {

TEST(ChooseEngineBlockSize, PicksACellNear96ThatDividesTheHostBlock) {
  const std::vector<std::pair<int32_t, int32_t>> cases = {{512, 128}, {1024, 128}, {441, 63},
                                                          {97, 97},   {64, 64},    {100, 100},
                                                          {1, 1},     {0, 128},    {-5, 128}};
  for (const auto& [host_block, cell] : cases) {
    EXPECT_EQ(OvAudioMaster::ChooseEngineBlockSize(host_block), cell) << host_block;
  }
}

class AudioMasterTest : public testing::Test {
 protected:
  AudioMasterTest() {
    master.SetEngineBlockSize(128);
    top.SetMaster(&master);
  }
  ~AudioMasterTest() override { master.Stop(); }

  void Start(uint32_t sample_time = 0) { master.StartAtForTesting(&top, sample_time); }
  // Joins the container; runs when started, in the order made.
  RecordingGenerator& Make(const std::string& name, int32_t sort_order = -1) {
    return top.Add(std::make_unique<RecordingGenerator>(name, log, sort_order));
  }
  std::vector<int32_t> SliceLengths() {
    std::vector<int32_t> lengths;
    for (const RunRecord& run : log) lengths.push_back(run.frames);
    log.clear();
    return lengths;
  }

  FakeEngineHost host;
  OvAudioMaster master{host};
  std::vector<RunRecord> log;
  ug_container top;
};

TEST_F(AudioMasterTest, SlicesStayOnTheCellGridWhateverTheHostBlock) {
  RecordingGenerator& g = Make("g");
  Start();
  master.Process(100);
  EXPECT_EQ(SliceLengths(), (std::vector<int32_t>{100}));
  master.Process(100);
  EXPECT_EQ(SliceLengths(), (std::vector<int32_t>{28, 72}));
  master.Process(100);
  EXPECT_EQ(SliceLengths(), (std::vector<int32_t>{56, 44}));
  EXPECT_EQ(master.SampleClock(), 300u);
  EXPECT_EQ(g.Clock(), 300u);

  master.Process(512 - 300 % 128);  // back onto the grid
  SliceLengths();
  master.Process(512);
  EXPECT_EQ(SliceLengths(), (std::vector<int32_t>{128, 128, 128, 128}));
}

TEST_F(AudioMasterTest, RunsInDescendingSortOrderAndTiesInActivationOrder) {
  Make("low", 1);
  Make("tie_a", 5);
  Make("high", 9);
  Make("tie_b", 5);
  Start();
  master.Process(128);
  EXPECT_EQ(log, (std::vector<RunRecord>{
                     {"high", 0, 128}, {"tie_a", 0, 128}, {"tie_b", 0, 128}, {"low", 0, 128}}));
}

TEST_F(AudioMasterTest, ActivationDuringASliceCatchesUpByWhetherItsPlaceHasPassed) {
  RecordingGenerator& runner = Make("runner", 5);
  RecordingGenerator& higher = Make("higher", 9);
  RecordingGenerator& equal = Make("equal", 5);
  RecordingGenerator& lower = Make("lower", 1);
  Start();
  master.Process(128);
  for (RecordingGenerator* g : {&higher, &equal, &lower}) g->GoToSleep();
  log.clear();

  runner.during_next_run = [&](RecordingGenerator&) {
    higher.Wake();
    equal.Wake();
    lower.Wake();
  };
  master.Process(256);
  EXPECT_EQ(log, (std::vector<RunRecord>{{"runner", 128, 128},
                                         {"equal", 128, 128},
                                         {"lower", 128, 128},
                                         {"higher", 256, 128},
                                         {"runner", 256, 128},
                                         {"equal", 256, 128},
                                         {"lower", 256, 128}}));
}

TEST_F(AudioMasterTest, GeneratorsMayLeaveTheRunListMidSlice) {
  RecordingGenerator& first = Make("first", 3);
  RecordingGenerator& second = Make("second", 2);
  Make("third", 1);
  Start();

  // Taking out the next one: the loop follows the link read after the run.
  first.during_next_run = [&](RecordingGenerator&) { master.Deactivate(&second); };
  master.Process(128);
  EXPECT_EQ(log, (std::vector<RunRecord>{{"first", 0, 128}, {"third", 0, 128}}));

  // Sleeping in its own slice, and even waking a generator after itself.
  log.clear();
  first.during_next_run = [&](RecordingGenerator& self) {
    self.GoToSleep();
    master.Activate(&second);
  };
  master.Process(256);
  EXPECT_EQ(log, (std::vector<RunRecord>{{"first", 128, 128},
                                         {"second", 128, 128},
                                         {"third", 128, 128},
                                         {"second", 256, 128},
                                         {"third", 256, 128}}));

  // Changing its mind within the slice keeps its place.
  log.clear();
  first.Wake();
  first.during_next_run = [&](RecordingGenerator& self) {
    master.Deactivate(&self);
    master.Activate(&self);
  };
  master.Process(256);
  EXPECT_EQ(SliceLengths().size(), 6u);
}

TEST_F(AudioMasterTest, SlicingAndCatchUpWorkAcrossTheClockWrap) {
  RecordingGenerator& runner = Make("runner", 5);
  RecordingGenerator& higher = Make("higher", 9);
  const uint32_t start = 0xFFFFFF00u;  // 256 samples before the wrap
  Start(start);
  higher.GoToSleep();
  master.Process(200);
  master.Process(100);
  runner.during_next_run = [&](RecordingGenerator&) { higher.Wake(); };
  master.Process(100);
  EXPECT_EQ(log, (std::vector<RunRecord>{{"runner", start, 128},
                                         {"runner", start + 128, 72},
                                         {"runner", start + 200, 56},
                                         {"runner", 0, 44},
                                         {"runner", 44, 84},
                                         {"higher", 128, 16},
                                         {"runner", 128, 16}}));
  EXPECT_EQ(master.SampleClock(), 144u);
}

TEST_F(AudioMasterTest, StopEmptiesTheRunListAndStartCanReuseGenerators) {
  Make("g");
  RecordingGenerator other("other", log);  // not part of the tree
  other.SetMaster(&master);
  Start();
  master.Activate(&other);
  master.Stop();
  EXPECT_FALSE(master.IsRunning());
  master.Process(128);
  EXPECT_TRUE(log.empty());

  Start();
  master.Process(128);
  EXPECT_EQ(log, (std::vector<RunRecord>{{"g", 0, 128}}));
}

}  // namespace
}  // namespace ov::test
