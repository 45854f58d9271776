// Cuts a timeline of MIDI messages into the per-block event records that a
// VST 2 plug-in takes through effProcessEvents before each process call.
// Thread: the thread that renders; one block at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/vst2.h"

namespace ov {

struct ScheduledMidi {
  int64_t frame = 0;  // absolute sample position
  uint8_t bytes[3] = {};
};

class BlockEventScheduler {
 public:
  // Events in any order; equal frames keep the order given.
  explicit BlockEventScheduler(std::vector<ScheduledMidi> events);

  // The events due in the block [block_start, block_start + frames), each with
  // deltaFrames set to its offset inside the block; events from before the
  // block that were not yet taken come at offset 0. The record stays valid
  // until the next call. Blocks must be taken in order.
  const vst2::VstEvents& TakeBlock(int64_t block_start, int32_t frames);

  // Events not yet taken (those at or after the end of the last block).
  std::size_t Remaining() const { return events_.size() - next_; }

 private:
  std::vector<ScheduledMidi> events_;
  std::size_t next_ = 0;
  std::vector<vst2::VstMidiEvent> block_events_;
  // Backing store of the VstEvents record, whose pointer array is as long as
  // the block needs.
  std::vector<intptr_t> record_words_;
};

// A VST 2 event record of fixed capacity, filled anew for each block on a
// thread that must not allocate (a live device's callback).
// Thread: the one that fills it; construction anywhere.
class FixedBlockEvents {
 public:
  explicit FixedBlockEvents(std::size_t capacity);
  void Clear();
  // False, adding nothing, when full.
  bool Add(int32_t delta_frames, const uint8_t* bytes, std::size_t size);
  const vst2::VstEvents& Record() const { return *record_; }
  int32_t Count() const { return record_->numEvents; }

 private:
  std::vector<vst2::VstMidiEvent> events_;
  std::vector<intptr_t> record_words_;
  vst2::VstEvents* record_;
};

}  // namespace ov
