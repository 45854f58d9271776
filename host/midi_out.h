// Turns the engine's outgoing MIDI ring into the VstEvents block that the
// host receives after each process call. The block has room for a whole ring
// and lives inside the plug-in object, so collecting never allocates.
// Thread: audio.
#pragma once

#include <array>
#include <cstdint>
#include <cstddef>

#include "engine/host_ports.h"
#include "platform/vst2.h"

namespace ov {

class HostMidiOut {
 public:
  // Moves the entries stamped inside the block [block_start, block_start +
  // frames) from `ring` into the event block; `read_count` counts the entries
  // read so far and advances. Entries stamped later stay for the next block;
  // entries the writer overwrote before they were read are skipped (and
  // counted in `lost`). Answers the block, or null when it holds no events.
  vst2::VstEvents* Collect(const MidiRing& ring, uint32_t& read_count, uint32_t block_start,
                           int32_t frames);
  uint32_t Lost() const { return lost_; }

 private:
  // The published record with room for a whole ring of event pointers.
  struct EventBlock {
    int32_t numEvents;
    intptr_t reserved;
    vst2::VstEvent* events[MidiRing::kSize];
  };
  static_assert(offsetof(EventBlock, events) == offsetof(vst2::VstEvents, events));

  EventBlock block_{};
  uint32_t lost_ = 0;
  std::array<vst2::VstMidiEvent, MidiRing::kSize> events_{};
};

}  // namespace ov
