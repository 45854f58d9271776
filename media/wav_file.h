// WAVE files: integer PCM (8, 16, 24 and 32 bits) and float (32 and 64 bits),
// plain or in the extensible format, read into float samples; 32-bit float
// files written.
// Thread: any.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ov {

constexpr int kMaxWavChannels = 64;

struct AudioClip {
  uint32_t sample_rate = 0;
  std::vector<std::vector<float>> channels;  // one sample vector per channel, all one length

  std::size_t FrameCount() const { return channels.empty() ? 0 : channels.front().size(); }
};

// On failure `error` names the file and says what is wrong with it.
std::optional<AudioClip> ReadWavFile(const std::string& path, std::string* error);

// Writes 32-bit float samples, one channel per clip channel.
bool WriteFloatWavFile(const std::string& path, const AudioClip& clip, std::string* error);

}  // namespace ov
