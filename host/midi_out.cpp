#include "host/midi_out.h"

#include <cstddef>

namespace ov {

vst2::VstEvents* HostMidiOut::Collect(const MidiRing& ring, uint32_t& read_count,
                                      uint32_t block_start, int32_t frames) {
  int32_t count = 0;
  const uint32_t written = ring.written.load(std::memory_order_acquire);
  if (written - read_count > static_cast<uint32_t>(MidiRing::kSize)) {
    lost_ += written - read_count - MidiRing::kSize;
    read_count = written - MidiRing::kSize;
  }
  while (read_count != written && count < MidiRing::kSize) {
    const MidiRing::Entry& entry = ring.At(read_count);
    const int32_t offset = static_cast<int32_t>(entry.time - block_start);
    if (offset >= frames) break;  // belongs to a later block
    ++read_count;

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
    block_.events[count] = reinterpret_cast<vst2::VstEvent*>(&event);
    ++count;
  }
  block_.numEvents = count;
  return count > 0 ? reinterpret_cast<vst2::VstEvents*>(&block_) : nullptr;
}

}  // namespace ov
