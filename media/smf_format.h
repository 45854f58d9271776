// Constants of the Standard MIDI File layout that the reader and writer share.
#pragma once

#include <cstdint>

namespace ov::smf {

constexpr uint8_t kMetaEvent = 0xFF;
constexpr uint8_t kMetaEndOfTrack = 0x2F;
constexpr uint8_t kMetaSetTempo = 0x51;
constexpr uint8_t kSysexStart = 0xF0;
constexpr uint8_t kSysexContinue = 0xF7;
constexpr int kMaxQuantityBytes = 4;  // variable-length quantities: 28 bits at most
constexpr uint32_t kDefaultMicrosecondsPerQuarter = 500000;  // 120 bpm

}  // namespace ov::smf
