// WAVE files read whole for the wave players: the sample bytes as stored,
// the format they are in and the sustain loop, with the texts the players
// show for files they cannot play. Every size and count in the file is
// checked before it is used.
// Thread: editor or media file thread (never the audio thread).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ov {

class DataFiles;

struct WaveData {
  static constexpr uint16_t kPcm = 1;
  static constexpr uint16_t kFloat = 3;

  uint16_t format_tag = 0;  // kPcm (8 or 16 bits) or kFloat (32 bits)
  uint16_t channels = 0;    // 1 or 2
  uint32_t sample_rate = 0;
  uint16_t bits = 0;
  std::vector<uint8_t> samples;  // the "data" chunk, whole frames only
  // Byte offsets from the data start. Without a usable loop: 0, and an end
  // past the data that reading never reaches.
  uint64_t loop_start = 0;
  uint64_t loop_end = 0;

  uint32_t FrameBytes() const { return uint32_t{channels} * bits / 8; }
  bool HasLoop() const { return loop_end <= samples.size(); }
};

// The file's samples, or null with `message` set to the text to show.
std::unique_ptr<WaveData> ParseWave(std::span<const uint8_t> file, std::string* message);

// Opens `name` ("wav" by default) through `files` and parses it; a file
// that cannot be found or read gives the "Can't open: " text.
std::unique_ptr<WaveData> LoadWave(const DataFiles* files, std::string_view name,
                                   std::string* message);

}  // namespace ov
