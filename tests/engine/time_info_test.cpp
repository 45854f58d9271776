#include <gtest/gtest.h>

#include "engine/audio_master.h"
#include "tests/engine/engine_test_support.h"

namespace ov::test {
namespace {

constexpr int32_t kPpqAndBars = vst2::kVstPpqPosValid | vst2::kVstBarsValid;

class TimeInfoTest : public testing::Test {
 protected:
  TimeInfoTest() {
    // 2 beats a second at this rate is one MIDI clock every 1024 samples,
    // exact in binary.
    master.SetSampleRate(49152.0f);
    host.time_info.samplePos = 96000.0;
    host.time_info.ppqPos = 1.0;
    host.time_info.tempo = 120.0;
    master.Start(&generator);
  }
  ~TimeInfoTest() override { master.Stop(); }

  // Asks for time information in the `slice`th slice (from 0) of the next
  // host block of `frames`, and answers a copy (flags -1 when null).
  vst2::VstTimeInfo AskDuringSlice(int slice, int32_t frames, int32_t filter = kPpqAndBars) {
    vst2::VstTimeInfo answer{};
    answer.flags = -1;
    std::function<void(RecordingGenerator&)> ask = [&](RecordingGenerator&) {
      if (slice-- > 0) {
        generator.during_next_run = ask;
      } else if (const vst2::VstTimeInfo* info = master.GetTimeInfo(filter)) {
        answer = *info;
      }
    };
    generator.during_next_run = ask;
    master.Process(frames);
    return answer;
  }

  FakeEngineHost host;
  OvAudioMaster master{host};
  std::vector<RunRecord> log;
  RecordingGenerator generator{"g", log};
};

TEST_F(TimeInfoTest, ShiftsPositionsToTheStartOfTheCell) {
  master.SetEngineBlockSize(24576);  // the second cell starts half a second in
  master.Start(&generator);
  const vst2::VstTimeInfo info = AskDuringSlice(1, 49152);
  EXPECT_EQ(host.last_filter & kPpqAndBars, kPpqAndBars);
  EXPECT_DOUBLE_EQ(info.samplePos, 96000.0 + 24576.0);
  EXPECT_DOUBLE_EQ(info.ppqPos, 2.0);
  EXPECT_DOUBLE_EQ(info.barStartPos, 2.0);
  EXPECT_EQ(info.samplesToNextClock, 0);
  EXPECT_NE(info.flags & vst2::kVstPpqPosValid, 0);
}

TEST_F(TimeInfoTest, ACellBegunInTheLastHostBlockGivesAnEarlierPosition) {
  master.SetEngineBlockSize(128);
  master.Start(&generator);
  master.Process(100);
  const vst2::VstTimeInfo info = AskDuringSlice(0, 100, vst2::kVstPpqPosValid);
  EXPECT_DOUBLE_EQ(info.samplePos, 96000.0 - 100.0);
  EXPECT_LT(info.ppqPos, 1.0);
  EXPECT_EQ(info.barStartPos, 0.0);  // not asked for
  // 100 samples before the host's position at a clock: the count is the
  // distance back to the last whole clock, 1024 - 100 samples.
  EXPECT_EQ(info.samplesToNextClock, -924);
}

TEST_F(TimeInfoTest, LeavesMusicalPositionAloneWithoutTempoOrRate) {
  master.SetEngineBlockSize(64);
  host.time_info.tempo = 0.0;
  EXPECT_DOUBLE_EQ(AskDuringSlice(1, 128).ppqPos, 1.0);

  host.time_info.tempo = 120.0;
  master.SetSampleRate(0.0f);
  const vst2::VstTimeInfo info = AskDuringSlice(1, 128);
  EXPECT_DOUBLE_EQ(info.ppqPos, 1.0);
  EXPECT_EQ(info.flags & vst2::kVstPpqPosValid, 0);
  EXPECT_DOUBLE_EQ(info.samplePos, 96000.0 + 64.0);

  host.has_time_info = false;
  EXPECT_EQ(AskDuringSlice(0, 64).flags, -1);
}

}  // namespace
}  // namespace ov::test
