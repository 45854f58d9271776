#include "tools/block_events.h"

#include <gtest/gtest.h>

#include <vector>

namespace ov {
namespace {

struct Delivered {
  int32_t delta;
  uint8_t key;
  bool operator==(const Delivered&) const = default;
};

std::vector<Delivered> Take(BlockEventScheduler& scheduler, int64_t start, int32_t frames) {
  const vst2::VstEvents& events = scheduler.TakeBlock(start, frames);
  std::vector<Delivered> delivered;
  const vst2::VstEvent* const* list = events.events;
  for (int32_t i = 0; i < events.numEvents; ++i) {
    EXPECT_EQ(list[i]->type, vst2::kVstMidiType);
    EXPECT_EQ(list[i]->byteSize, static_cast<int32_t>(sizeof(vst2::VstMidiEvent)));
    const auto* midi = reinterpret_cast<const vst2::VstMidiEvent*>(list[i]);
    delivered.push_back({midi->deltaFrames, static_cast<uint8_t>(midi->midiData[1])});
  }
  return delivered;
}

ScheduledMidi NoteAt(int64_t frame, uint8_t key) { return {frame, {0x90, key, 100}}; }

TEST(BlockEventScheduler, EventsLandInTheirBlockAtTheirOffset) {
  BlockEventScheduler scheduler(
      {NoteAt(1000, 4), NoteAt(0, 1), NoteAt(511, 2), NoteAt(512, 3), NoteAt(1536, 5)});
  EXPECT_EQ(Take(scheduler, 0, 512), (std::vector<Delivered>{{0, 1}, {511, 2}}));
  EXPECT_EQ(Take(scheduler, 512, 512), (std::vector<Delivered>{{0, 3}, {488, 4}}));
  EXPECT_TRUE(Take(scheduler, 1024, 512).empty());
  EXPECT_EQ(scheduler.Remaining(), 1u);
  // A short last block still takes only what falls inside it.
  EXPECT_TRUE(Take(scheduler, 1536 - 100, 100).empty());
  EXPECT_EQ(Take(scheduler, 1536, 7), (std::vector<Delivered>{{0, 5}}));
  EXPECT_EQ(scheduler.Remaining(), 0u);
}

TEST(BlockEventScheduler, EqualFramesKeepTheirOrderAndManyFitOneBlock) {
  std::vector<ScheduledMidi> events;
  for (uint8_t key = 0; key < 40; ++key) events.push_back(NoteAt(key < 20 ? 70 : 10, key));
  BlockEventScheduler scheduler(events);
  const std::vector<Delivered> delivered = Take(scheduler, 0, 128);
  ASSERT_EQ(delivered.size(), 40u);  // far more than the record's two nominal slots
  for (uint8_t i = 0; i < 40; ++i) {
    const uint8_t key = i < 20 ? i + 20 : i - 20;
    EXPECT_EQ(delivered[i], (Delivered{key < 20 ? 70 : 10, key})) << "position " << int{i};
  }
}

}  // namespace
}  // namespace ov
