// The MIDI message word that travels between generators: the status byte in
// bits 0-7, the data bytes in bits 8-15 and 16-23.
#pragma once

#include <cstdint>

namespace ov::midi {

inline constexpr uint32_t kNoteOff = 0x80;
inline constexpr uint32_t kNoteOn = 0x90;
inline constexpr uint32_t kControlChange = 0xB0;
inline constexpr uint32_t kProgramChange = 0xC0;
inline constexpr uint32_t kChannelPressure = 0xD0;
inline constexpr uint32_t kPitchBend = 0xE0;
inline constexpr uint32_t kSystem = 0xF0;  // and above: no channel

constexpr uint32_t Status(uint32_t word) { return word & 0xFF; }
// The channel message kind (the status without its channel).
constexpr uint32_t Command(uint32_t word) { return word & 0xF0; }
constexpr int16_t Channel(uint32_t word) { return static_cast<int16_t>(word & 0x0F); }
constexpr int16_t Data1(uint32_t word) { return static_cast<int16_t>((word >> 8) & 0x7F); }
constexpr int16_t Data2(uint32_t word) { return static_cast<int16_t>((word >> 16) & 0x7F); }

constexpr uint32_t Word(uint32_t status, uint32_t data1, uint32_t data2 = 0) {
  return status | data1 << 8 | data2 << 16;
}

}  // namespace ov::midi
