// Turns the engine's outgoing MIDI ring into the VstEvents block that the
// host receives after each process call. The block has room for a whole ring
// and is allocated once, so collecting never allocates on the audio thread.
// Thread: audio.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "host/host_ports.h"
#include "platform/vst2.h"

namespace ov {

class HostMidiOut {
 public:
  HostMidiOut();

  // Moves the entries stamped inside the block [block_start, block_start +
  // frames) from `ring` (reading from `read_index`, which advances) into the
  // event block. Entries stamped later stay for the next block. Answers the
  // block, or null when it holds no events.
  vst2::VstEvents* Collect(const MidiRing& ring, int32_t& read_index, uint32_t block_start,
                           int32_t frames);

 private:
  vst2::VstEvent** EventSlots();

  std::unique_ptr<std::byte[]> block_storage_;  // VstEvents header + one pointer per entry
  vst2::VstEvents* block_;
  std::array<vst2::VstMidiEvent, MidiRing::kSize> events_{};
};

}  // namespace ov
