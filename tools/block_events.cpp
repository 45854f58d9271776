#include "tools/block_events.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace ov {

BlockEventScheduler::BlockEventScheduler(std::vector<ScheduledMidi> events)
    : events_(std::move(events)) {
  std::stable_sort(
      events_.begin(), events_.end(),
      [](const ScheduledMidi& a, const ScheduledMidi& b) { return a.frame < b.frame; });
}

const vst2::VstEvents& BlockEventScheduler::TakeBlock(int64_t block_start, int32_t frames) {
  const int64_t block_end = block_start + frames;
  block_events_.clear();
  for (; next_ < events_.size() && events_[next_].frame < block_end; ++next_) {
    const ScheduledMidi& scheduled = events_[next_];
    vst2::VstMidiEvent event{};
    event.type = vst2::kVstMidiType;
    event.byteSize = sizeof(vst2::VstMidiEvent);
    event.deltaFrames = static_cast<int32_t>(std::max<int64_t>(0, scheduled.frame - block_start));
    std::memcpy(event.midiData, scheduled.bytes, sizeof scheduled.bytes);
    block_events_.push_back(event);
  }
  const std::size_t slots = std::max<std::size_t>(2, block_events_.size());
  record_words_.assign(offsetof(vst2::VstEvents, events) / sizeof(intptr_t) + slots, 0);
  auto* record = new (record_words_.data()) vst2::VstEvents{};
  record->numEvents = static_cast<int32_t>(block_events_.size());
  // The record's pointer array runs past its declared two entries.
  vst2::VstEvent** pointers = record->events;
  for (std::size_t i = 0; i < block_events_.size(); ++i) {
    pointers[i] = reinterpret_cast<vst2::VstEvent*>(&block_events_[i]);
  }
  return *record;
}

FixedBlockEvents::FixedBlockEvents(std::size_t capacity)
    : events_(capacity),
      record_words_(offsetof(vst2::VstEvents, events) / sizeof(intptr_t) +
                        std::max<std::size_t>(2, capacity),
                    0),
      record_(new (record_words_.data()) vst2::VstEvents{}) {}

void FixedBlockEvents::Clear() { record_->numEvents = 0; }

bool FixedBlockEvents::Add(int32_t delta_frames, const uint8_t* bytes, std::size_t size) {
  const auto index = static_cast<std::size_t>(record_->numEvents);
  if (index == events_.size() || size > 3) return false;
  vst2::VstMidiEvent& event = events_[index];
  event = {};
  event.type = vst2::kVstMidiType;
  event.byteSize = sizeof(vst2::VstMidiEvent);
  event.deltaFrames = delta_frames;
  std::memcpy(event.midiData, bytes, size);
  // The record's pointer array runs past its declared two entries.
  record_->events[index] = reinterpret_cast<vst2::VstEvent*>(&event);
  ++record_->numEvents;
  return true;
}

}  // namespace ov
