#include "host/midi_out.h"

#include <cstddef>
#include <new>

namespace ov {

HostMidiOut::HostMidiOut() {
  constexpr std::size_t kBytes =
      offsetof(vst2::VstEvents, events) + sizeof(vst2::VstEvent*) * MidiRing::kSize;
  block_storage_.reset(new (std::align_val_t(alignof(vst2::VstEvents))) std::byte[kBytes]());
  block_ = new (block_storage_.get()) vst2::VstEvents{};
}

// The event pointers run past the two that the record declares; address them
// through the storage so that no access indexes beyond a declared array.
vst2::VstEvent** HostMidiOut::EventSlots() {
  return reinterpret_cast<vst2::VstEvent**>(block_storage_.get() +
                                            offsetof(vst2::VstEvents, events));
}

vst2::VstEvents* HostMidiOut::Collect(const MidiRing& ring, int32_t& read_index,
                                      uint32_t block_start, int32_t frames) {
  int32_t count = 0;
  const int32_t write_index = ring.write_index.load(std::memory_order_acquire);
  while (read_index != write_index && count < MidiRing::kSize) {
    const MidiRing::Entry& entry = ring.entries[static_cast<std::size_t>(read_index)];
    const int32_t offset = static_cast<int32_t>(entry.time - block_start);
    if (offset >= frames) break;  // belongs to a later block
    read_index = (read_index + 1) % MidiRing::kSize;

    const uint8_t status = entry.word & 0xFF;
    // Program change and channel pressure carry one data byte; the unused
    // third byte is sent as 0xFF.
    const bool one_data_byte = (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0;
    vst2::VstMidiEvent& event = events_[static_cast<std::size_t>(count)];
    event = {};
    event.type = vst2::kVstMidiType;
    event.byteSize = 24;
    event.deltaFrames = offset > 0 ? offset : 0;
    event.midiData[0] = static_cast<char>(status);
    event.midiData[1] = static_cast<char>((entry.word >> 8) & 0xFF);
    event.midiData[2] = static_cast<char>(one_data_byte ? 0xFF : (entry.word >> 16) & 0xFF);
    EventSlots()[count] = reinterpret_cast<vst2::VstEvent*>(&event);
    ++count;
  }
  block_->numEvents = count;
  return count > 0 ? block_ : nullptr;
}

}  // namespace ov
