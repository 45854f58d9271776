#include "media/wav_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "platform/byte_order.h"
#include "tests/media/media_test_support.h"

namespace ov {
namespace {

using testing::WriteTempFile;

struct WavFields {
  uint16_t format = 1;
  uint16_t channels = 1;
  uint32_t rate = 48000;
  uint16_t bits = 16;
  uint16_t block_align = 2;
};

void AppendChunk(std::vector<uint8_t>& out, const char* id, const std::vector<uint8_t>& body) {
  out.insert(out.end(), id, id + 4);
  AppendLe32(out, static_cast<uint32_t>(body.size()));
  out.insert(out.end(), body.begin(), body.end());
  if (body.size() & 1) out.push_back(0);
}

std::vector<uint8_t> FormatBody(const WavFields& f) {
  std::vector<uint8_t> body;
  AppendLe16(body, f.format);
  AppendLe16(body, f.channels);
  AppendLe32(body, f.rate);
  AppendLe32(body, f.rate * f.block_align);
  AppendLe16(body, f.block_align);
  AppendLe16(body, f.bits);
  return body;
}

std::vector<uint8_t> Riff(const std::vector<uint8_t>& chunks) {
  std::vector<uint8_t> file = {'R', 'I', 'F', 'F'};
  AppendLe32(file, static_cast<uint32_t>(chunks.size() + 4));
  file.insert(file.end(), {'W', 'A', 'V', 'E'});
  file.insert(file.end(), chunks.begin(), chunks.end());
  return file;
}

std::vector<uint8_t> Wav(const WavFields& fields, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> chunks;
  AppendChunk(chunks, "fmt ", FormatBody(fields));
  AppendChunk(chunks, "data", data);
  return Riff(chunks);
}

std::string ReadError(const std::vector<uint8_t>& bytes) {
  std::string error;
  EXPECT_FALSE(ReadWavFile(WriteTempFile(".wav", bytes), &error).has_value());
  return error;
}

TEST(WavFile, FloatWriteReadsBackExactly) {
  AudioClip clip;
  clip.sample_rate = 44100;
  clip.channels = {{0.0f, 0.5f, -1.0f, 1e-7f}, {1.5f, -0.25f, 0.125f, -3.0f}, {0, 0, 0, 1}};
  std::string error;
  const std::string path = testing::TempPath(".wav");
  ASSERT_TRUE(WriteFloatWavFile(path, clip, &error)) << error;
  const std::optional<AudioClip> read = ReadWavFile(path, &error);
  ASSERT_TRUE(read) << error;
  EXPECT_EQ(read->sample_rate, 44100u);
  EXPECT_EQ(read->channels, clip.channels);
}

TEST(WavFile, ReadsDebianAlsaSampleAsMono48k) {
  std::string error;
  const std::optional<AudioClip> clip =
      ReadWavFile("/usr/share/sounds/alsa/Front_Center.wav", &error);
  ASSERT_TRUE(clip) << error;
  EXPECT_EQ(clip->sample_rate, 48000u);
  ASSERT_EQ(clip->channels.size(), 1u);
  EXPECT_EQ(clip->FrameCount(), 68545u);  // 137090 data bytes of 16-bit mono
  float peak = 0;
  for (float sample : clip->channels[0]) peak = std::max(peak, std::fabs(sample));
  EXPECT_GT(peak, 0.05f);
  EXPECT_LE(peak, 1.0f);
}

TEST(WavFile, DecodesIntegerWidthsAndExtensibleFormat) {
  // 8-bit is unsigned; 24-bit negative values must be sign-extended.
  std::string error;
  const auto pcm8 =
      ReadWavFile(WriteTempFile("8.wav", Wav({1, 1, 8000, 8, 1}, {0x00, 0x80, 0xC0})), &error);
  ASSERT_TRUE(pcm8) << error;
  EXPECT_EQ(pcm8->channels[0], (std::vector<float>{-1.0f, 0.0f, 0.5f}));
  const auto pcm24 = ReadWavFile(
      WriteTempFile("24.wav", Wav({1, 2, 8000, 24, 6}, {0x00, 0x00, 0x80, 0x00, 0x00, 0x40})),
      &error);
  ASSERT_TRUE(pcm24) << error;
  EXPECT_EQ(pcm24->channels, (std::vector<std::vector<float>>{{-1.0f}, {0.5f}}));

  std::vector<uint8_t> extensible = FormatBody({0xFFFE, 1, 8000, 32, 4});
  AppendLe16(extensible, 22);  // extension size
  AppendLe16(extensible, 32);  // valid bits
  AppendLe32(extensible, 4);   // channel mask: centre
  AppendLe16(extensible, 3);   // sub-format: float
  extensible.insert(extensible.end(), {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA,
                                       0x00, 0x38, 0x9B, 0x71});
  std::vector<uint8_t> chunks;
  AppendChunk(chunks, "fmt ", extensible);
  AppendChunk(chunks, "data", {0x00, 0x00, 0x40, 0xBF});  // -0.75f
  const auto float_clip = ReadWavFile(WriteTempFile("ext.wav", Riff(chunks)), &error);
  ASSERT_TRUE(float_clip) << error;
  EXPECT_EQ(float_clip->channels[0], std::vector<float>{-0.75f});
}

TEST(WavFile, SkipsOddSizedChunksByTheirPadByte) {
  std::vector<uint8_t> chunks;
  AppendChunk(chunks, "LIST", {'I', 'N', 'F', 'O', 'x'});  // 5 bytes and a pad
  AppendChunk(chunks, "fmt ", FormatBody({}));
  AppendChunk(chunks, "data", {0x00, 0x40});
  std::string error;
  const auto clip = ReadWavFile(WriteTempFile(".wav", Riff(chunks)), &error);
  ASSERT_TRUE(clip) << error;
  EXPECT_EQ(clip->channels[0], std::vector<float>{0.5f});
}

TEST(WavFile, HostileFilesGiveErrorsNamingTheProblem) {
  std::vector<uint8_t> beyond = Wav({}, {0, 0, 0, 0});
  beyond[beyond.size() - 8] = 0xFF;  // the data chunk's size, now past the end of the file
  EXPECT_NE(ReadError(beyond).find("chunk 'data' at byte 36 declares 255 bytes"), std::string::npos)
      << ReadError(beyond);

  std::vector<uint8_t> riff_beyond = Wav({}, {0, 0});
  riff_beyond[7] = 0x7F;
  EXPECT_NE(ReadError(riff_beyond).find("chunk 'RIFF' at byte 0"), std::string::npos);

  EXPECT_NE(ReadError(Wav({1, 0, 48000, 16, 0}, {})).find("channel count 0"), std::string::npos);
  EXPECT_NE(ReadError(Wav({1, 65, 48000, 16, 130}, {})).find("channel count 65"),
            std::string::npos);
  EXPECT_NE(ReadError(Wav({}, {0, 0, 0})).find("not a whole number of 2-byte frames"),
            std::string::npos);
  EXPECT_NE(ReadError(Wav({1, 2, 48000, 16, 2}, {})).find("block alignment"), std::string::npos);
  EXPECT_NE(ReadError(Wav({2, 1, 48000, 4, 1}, {})).find("unsupported sample format"),
            std::string::npos);
  EXPECT_NE(ReadError(Wav({1, 1, 0, 16, 2}, {})).find("sample rate is 0"), std::string::npos);

  std::vector<uint8_t> no_data;
  AppendChunk(no_data, "fmt ", FormatBody({}));
  EXPECT_NE(ReadError(Riff(no_data)).find("no 'data' chunk"), std::string::npos);
  std::vector<uint8_t> short_format;
  AppendChunk(short_format, "fmt ", {1, 0, 1, 0});
  AppendChunk(short_format, "data", {});
  EXPECT_NE(ReadError(Riff(short_format)).find("'fmt ' chunk is only 4 bytes"), std::string::npos);

  std::vector<uint8_t> cut_header = Wav({}, {0, 0});
  cut_header.resize(cut_header.size() - 2 - 5);  // part of the data chunk header is gone
  cut_header[4] = static_cast<uint8_t>(cut_header.size() - 8);
  EXPECT_NE(ReadError(cut_header).find("truncated chunk header"), std::string::npos);
  EXPECT_NE(ReadError({'M', 'T', 'h', 'd'}).find("not a RIFF WAVE file"), std::string::npos);
}

TEST(WavFile, ErrorsNameTheFile) {
  std::string error;
  EXPECT_FALSE(ReadWavFile("/nonexistent/x.wav", &error));
  EXPECT_NE(error.find("/nonexistent/x.wav"), std::string::npos);
  const std::string path = WriteTempFile(".wav", Wav({1, 0, 48000, 16, 0}, {}));
  EXPECT_FALSE(ReadWavFile(path, &error));
  EXPECT_EQ(error.rfind(path + ": ", 0), 0u) << error;
}

}  // namespace
}  // namespace ov
