#include "media/wave_data.h"

#include <cstring>
#include <limits>
#include <optional>

#include "engine/data_files.h"
#include "platform/byte_order.h"
#include "media/riff_reader.h"
#include "platform/files.h"

namespace ov {
namespace {

// A float sample that is not a number or infinite would stay in the
// players' filter history and every mix after it: it plays as 0.
void SilenceNonFinite(std::vector<uint8_t>& samples) {
  for (std::size_t at = 0; at + 4 <= samples.size(); at += 4) {
    const uint32_t bits = LoadLe32(&samples[at]);
    if ((bits & 0x7F800000u) == 0x7F800000u) std::memset(&samples[at], 0, 4);
  }
}

constexpr char kMultichannel[] = "Multichannel WAVE file format is not supported";
constexpr char kNotSixteenBit[] =
    "This WAVE file format is not supported.  Convert it to 16 bit uncompressed mono or stereo.";
constexpr char kNotPcmOrFloat[] =
    "This WAVE file format is not supported.  Convert it to PCM or Float.";
constexpr char kNotValid[] = "This is not a valid WAVE file format";

constexpr uint16_t kExtensible = 0xFFFE;
// The tail every extensible sub-format identifier shares; its first two
// bytes are the plain format code.
constexpr uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
// "LIST" chunks may hold "LIST" chunks; deeper nesting than this is refused
// rather than followed.
constexpr int kMaxListDepth = 8;
// A sampler chunk with one loop: 36 bytes of header, 24 per loop.
constexpr std::size_t kSamplerWithLoop = 60;
constexpr std::size_t kMaxWaveFileBytes = std::numeric_limits<uint32_t>::max() + std::size_t{8};

struct Chunks {
  std::optional<RiffChunk> fmt;
  std::optional<RiffChunk> data;
  std::optional<RiffChunk> smpl;
};

bool Walk(RiffChunkReader& reader, int depth, Chunks* found) {
  reader.ClampOversizedChunks();
  RiffChunk chunk{};
  while (reader.Next(&chunk)) {
    if (chunk.Is("fmt ") && !found->fmt) found->fmt = chunk;
    if (chunk.Is("data") && !found->data) found->data = chunk;
    if (chunk.Is("smpl") && !found->smpl) found->smpl = chunk;
    if (chunk.Is("LIST") && chunk.body.size() >= 4) {
      if (depth >= kMaxListDepth) return false;
      RiffChunkReader list(chunk.body.subspan(4), chunk.offset + 12, "LIST");
      if (!Walk(list, depth + 1, found)) return false;
    }
  }
  return reader.Error().empty();
}

// Byte offsets of the first loop, when it lies inside the data.
void ReadLoop(const RiffChunk& smpl, WaveData* wave) {
  const uint64_t frames = wave->samples.size() / wave->FrameBytes();
  wave->loop_start = 0;
  wave->loop_end = wave->samples.size() + 20;
  const std::span<const uint8_t> body = smpl.body;
  if (body.size() < kSamplerWithLoop || LoadLe32(&body[28]) == 0) return;
  const uint64_t start = LoadLe32(&body[44]);
  const uint64_t end = LoadLe32(&body[48]);
  // An empty loop would make the fill go round it for ever.
  if (start >= end || end > frames) return;
  wave->loop_start = start * wave->FrameBytes();
  wave->loop_end = end * wave->FrameBytes();
}

}  // namespace

std::unique_ptr<WaveData> ParseWave(std::span<const uint8_t> file, std::string* message) {
  *message = kNotValid;
  if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 ||
      std::memcmp(file.data() + 8, "WAVE", 4) != 0) {
    return nullptr;
  }
  // A form longer than the file is read as far as the file goes.
  const std::size_t form_end = std::min<std::size_t>(file.size(), 8 + uint64_t{LoadLe32(&file[4])});
  if (form_end < 12) return nullptr;
  RiffChunkReader top(file.subspan(12, form_end - 12), 12, "RIFF");
  Chunks found;
  if (!Walk(top, 0, &found)) return nullptr;
  if (!found.fmt || found.fmt->body.size() < 16) return nullptr;

  const std::span<const uint8_t> fmt = found.fmt->body;
  auto wave = std::make_unique<WaveData>();
  wave->format_tag = LoadLe16(&fmt[0]);
  wave->channels = LoadLe16(&fmt[2]);
  wave->sample_rate = LoadLe32(&fmt[4]);
  const uint16_t block_align = LoadLe16(&fmt[12]);
  wave->bits = LoadLe16(&fmt[14]);
  if (wave->format_tag == kExtensible && fmt.size() >= 40 &&
      std::memcmp(&fmt[26], kSubFormatTail, sizeof kSubFormatTail) == 0) {
    wave->format_tag = LoadLe16(&fmt[24]);
  }
  if (wave->channels > 2) {
    *message = kMultichannel;
    return nullptr;
  }
  const bool pcm_bits = wave->bits == 8 || wave->bits == 16;
  if ((wave->format_tag == WaveData::kPcm && !pcm_bits) ||
      (wave->format_tag == WaveData::kFloat && wave->bits != 32)) {
    *message = kNotSixteenBit;
    return nullptr;
  }
  if (wave->format_tag != WaveData::kPcm && wave->format_tag != WaveData::kFloat) {
    *message = kNotPcmOrFloat;
    return nullptr;
  }
  if (wave->channels == 0 || wave->sample_rate == 0 || block_align != wave->FrameBytes() ||
      !found.data) {
    return nullptr;
  }
  const std::span<const uint8_t> data = found.data->body;
  const std::size_t whole = data.size() - data.size() % wave->FrameBytes();
  if (whole == 0) return nullptr;
  wave->samples.assign(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(whole));
  if (wave->format_tag == WaveData::kFloat) SilenceNonFinite(wave->samples);
  wave->loop_start = 0;
  wave->loop_end = wave->samples.size() + 20;
  if (found.smpl) ReadLoop(*found.smpl, wave.get());
  message->clear();
  return wave;
}

std::unique_ptr<WaveData> LoadWave(const DataFiles* files, std::string_view name,
                                   std::string* message) {
  const std::string cant_open =
      "Can't open: " + std::string(name) +
      ". Check: filename is correct, check it's a WAVE file, check your directory settings "
      "(Audio/Preferences)";
  std::optional<DataFile> file;
  if (files != nullptr) file = files->OpenDataFile(name, "wav");
  if (!file) {
    *message = cant_open;
    return nullptr;
  }
  if (file->InMemory()) return ParseWave(file->memory, message);
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadFileBytes(file->path, kMaxWaveFileBytes, &bytes, &error)) {
    *message = cant_open;
    return nullptr;
  }
  return ParseWave(bytes, message);
}

}  // namespace ov
