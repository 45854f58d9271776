#include "media/wav_file.h"

#include <cstring>
#include <limits>
#include <span>

#include "platform/byte_order.h"
#include "media/riff_reader.h"
#include "platform/files.h"

namespace ov {
namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;
// The tail that every extensible sub-format identifier shares; its first two
// bytes are the plain format code.
constexpr uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
constexpr std::size_t kPlainFormatSize = 16;
constexpr std::size_t kExtensibleFormatSize = 40;
// RIFF sizes are 32-bit, so no WAVE file can be larger.
constexpr std::size_t kMaxWavFileBytes = std::numeric_limits<uint32_t>::max() + std::size_t{8};

struct SampleFormat {
  uint16_t code = 0;  // kFormatPcm or kFormatFloat
  uint16_t channels = 0;
  uint32_t sample_rate = 0;
  uint16_t bytes_per_sample = 0;
};

bool ParseFormat(const RiffChunk& fmt, SampleFormat* format, std::string* error) {
  const std::span<const uint8_t> body = fmt.body;
  if (body.size() < kPlainFormatSize) {
    *error = "'fmt ' chunk is only " + std::to_string(body.size()) + " bytes";
    return false;
  }
  format->code = LoadLe16(&body[0]);
  format->channels = LoadLe16(&body[2]);
  format->sample_rate = LoadLe32(&body[4]);
  const uint16_t block_align = LoadLe16(&body[12]);
  const uint16_t bits = LoadLe16(&body[14]);
  if (format->code == kFormatExtensible) {
    if (body.size() < kExtensibleFormatSize) {
      *error = "extensible 'fmt ' chunk is only " + std::to_string(body.size()) + " bytes";
      return false;
    }
    if (std::memcmp(&body[26], kSubFormatTail, sizeof kSubFormatTail) != 0) {
      *error = "unknown extensible sub-format";
      return false;
    }
    format->code = LoadLe16(&body[24]);
    if (LoadLe16(&body[18]) > bits) {
      *error = "more valid bits than the sample container holds";
      return false;
    }
  }
  if (format->channels == 0 || format->channels > kMaxWavChannels) {
    *error = "unsupported channel count " + std::to_string(format->channels) + " (1 to " +
             std::to_string(kMaxWavChannels) + " are read)";
    return false;
  }
  if (format->sample_rate == 0) {
    *error = "sample rate is 0";
    return false;
  }
  const bool pcm =
      format->code == kFormatPcm && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
  const bool floating = format->code == kFormatFloat && (bits == 32 || bits == 64);
  if (!pcm && !floating) {
    *error = "unsupported sample format (code " + std::to_string(format->code) + ", " +
             std::to_string(bits) + " bits)";
    return false;
  }
  format->bytes_per_sample = static_cast<uint16_t>(bits / 8);
  if (block_align != format->bytes_per_sample * format->channels) {
    *error = "block alignment " + std::to_string(block_align) + " does not match " +
             std::to_string(format->channels) + " channels of " + std::to_string(bits) + " bits";
    return false;
  }
  return true;
}

float DecodeSample(const uint8_t* p, const SampleFormat& format) {
  if (format.code == kFormatFloat) {
    if (format.bytes_per_sample == 4) {
      const uint32_t bits = LoadLe32(p);
      float value;
      std::memcpy(&value, &bits, sizeof value);
      return value;
    }
    const uint64_t bits = LoadLe64(p);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return static_cast<float>(value);
  }
  switch (format.bytes_per_sample) {
    case 1:  // 8-bit samples are unsigned
      return (static_cast<int>(p[0]) - 128) / 128.0f;
    case 2:
      return static_cast<int16_t>(LoadLe16(p)) / 32768.0f;
    case 3:
      return static_cast<float>(LoadLe24Signed(p) / 8388608.0);
    default:
      return static_cast<float>(static_cast<int32_t>(LoadLe32(p)) / 2147483648.0);
  }
}

std::optional<AudioClip> ParseWav(std::span<const uint8_t> file, std::string* error) {
  std::optional<RiffChunkReader> chunks = OpenRiffForm(file, "WAVE", error);
  if (!chunks) return std::nullopt;
  std::optional<RiffChunk> fmt;
  std::optional<RiffChunk> data;
  RiffChunk chunk{};
  while (chunks->Next(&chunk)) {
    if (chunk.Is("fmt ") && !fmt) fmt = chunk;
    if (chunk.Is("data") && !data) data = chunk;
  }
  if (!chunks->Error().empty()) {
    *error = chunks->Error();
    return std::nullopt;
  }
  if (!fmt || !data) {
    *error = fmt ? "no 'data' chunk" : "no 'fmt ' chunk";
    return std::nullopt;
  }
  SampleFormat format;
  if (!ParseFormat(*fmt, &format, error)) return std::nullopt;
  const std::size_t frame_bytes = std::size_t{format.bytes_per_sample} * format.channels;
  if (data->body.size() % frame_bytes != 0) {
    *error = "'data' chunk size " + std::to_string(data->body.size()) +
             " is not a whole number of " + std::to_string(frame_bytes) + "-byte frames";
    return std::nullopt;
  }
  const std::size_t frames = data->body.size() / frame_bytes;
  AudioClip clip;
  clip.sample_rate = format.sample_rate;
  clip.channels.assign(format.channels, std::vector<float>(frames));
  const uint8_t* p = data->body.data();
  for (std::size_t frame = 0; frame < frames; ++frame) {
    for (auto& channel : clip.channels) {
      channel[frame] = DecodeSample(p, format);
      p += format.bytes_per_sample;
    }
  }
  return clip;
}

}  // namespace

std::optional<AudioClip> ReadWavFile(const std::string& path, std::string* error) {
  std::vector<uint8_t> bytes;
  if (!ReadFileBytes(path, kMaxWavFileBytes, &bytes, error)) return std::nullopt;
  std::optional<AudioClip> clip = ParseWav(bytes, error);
  if (!clip) *error = path + ": " + *error;
  return clip;
}

bool WriteFloatWavFile(const std::string& path, const AudioClip& clip, std::string* error) {
  const std::size_t channels = clip.channels.size();
  if (channels == 0 || channels > kMaxWavChannels) {
    *error = path + ": cannot write " + std::to_string(channels) + " channels";
    return false;
  }
  const std::size_t frames = clip.FrameCount();
  for (const auto& channel : clip.channels) {
    if (channel.size() != frames) {
      *error = path + ": channels differ in length";
      return false;
    }
  }
  constexpr std::size_t kHeaderBytes = 12 + 8 + 18 + 8 + 4 + 8;  // RIFF, fmt, fact, data header
  const std::size_t data_bytes = frames * channels * sizeof(float);
  if (data_bytes > std::numeric_limits<uint32_t>::max() - kHeaderBytes) {
    *error = path + ": too long for a WAVE file";
    return false;
  }
  const uint16_t block_align = static_cast<uint16_t>(channels * sizeof(float));
  std::vector<uint8_t> out;
  out.reserve(kHeaderBytes + data_bytes);
  out.insert(out.end(), {'R', 'I', 'F', 'F'});
  AppendLe32(out, static_cast<uint32_t>(kHeaderBytes - 8 + data_bytes));
  out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  AppendLe32(out, 18);
  AppendLe16(out, kFormatFloat);
  AppendLe16(out, static_cast<uint16_t>(channels));
  AppendLe32(out, clip.sample_rate);
  AppendLe32(out, clip.sample_rate * block_align);
  AppendLe16(out, block_align);
  AppendLe16(out, 32);
  AppendLe16(out, 0);  // no format extension
  // Non-PCM formats carry a frame count.
  out.insert(out.end(), {'f', 'a', 'c', 't'});
  AppendLe32(out, 4);
  AppendLe32(out, static_cast<uint32_t>(frames));
  out.insert(out.end(), {'d', 'a', 't', 'a'});
  AppendLe32(out, static_cast<uint32_t>(data_bytes));
  for (std::size_t frame = 0; frame < frames; ++frame) {
    for (const auto& channel : clip.channels) {
      uint32_t bits;
      std::memcpy(&bits, &channel[frame], sizeof bits);
      AppendLe32(out, bits);
    }
  }
  return WriteFileBytes(path, out, error);
}

}  // namespace ov
