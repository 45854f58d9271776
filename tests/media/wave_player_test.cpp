#include "media/wave_player.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <thread>

#include "media/wav_file.h"
#include "tests/media/wave_test_support.h"
#include "tests/modules/dsp_measure.h"
#include "tests/modules/module_rig.h"

namespace ov {
namespace {

using test::ModuleRig;
using testing::FolderFiles;
using testing::MessageBoxes;
using testing::Mono16;
using testing::WaveBuilder;

// A player of `file` in a fresh engine; the gate is the player's default
// (10 V, so the file starts at once) unless driven.
struct PlayerRig : ModuleRig {
  explicit PlayerRig(double rate = kRate) : files(testing::TestFolder()), boxes(master) {
    host.files = &files;
    master.SetSampleRate(static_cast<float>(rate));
  }
  ug_wave_player& Player(const std::vector<uint8_t>& file, const char* pitch = "5") {
    files.Put("take.wav", file);
    return Player(std::string("take"), pitch);
  }
  ug_wave_player& Player(const std::string& name, const char* pitch = "5") {
    auto& player = Add(std::make_unique<ug_wave_player>());
    player.plug(ug_wave_in::kFileName)->SetValueFromText(name);
    Set(player, ug_wave_in::kPitchShift, pitch);
    return player;
  }
  std::vector<float> Left(ug_wave_in& player, int64_t samples) {
    return Record(*player.plug(ug_wave_in::kLeftOut), samples);
  }

  FolderFiles files;
  MessageBoxes boxes;
};

std::vector<float> PlayFile(const std::vector<uint8_t>& file, int64_t samples,
                            std::vector<std::string>* messages = nullptr) {
  PlayerRig rig;
  auto& player = rig.Player(file);
  rig.Start();
  std::vector<float> left = rig.Left(player, samples);
  if (messages != nullptr) *messages = rig.boxes.Texts();
  return left;
}

// Half of each sample, as the player scales a full-scale file to ±5 V.
float Half16(int sample) { return static_cast<float>(sample) * 0.5f / 32768.0f; }

TEST(WavePlayer, PlaysAlsaTestFileAtItsOwnSpeedAndAnOctaveUp) {
  const std::string path = "/usr/share/sounds/alsa/Front_Center.wav";
  std::string error;
  const auto clip = ReadWavFile(path, &error);
  if (!clip) GTEST_SKIP() << error;
  ASSERT_EQ(clip->sample_rate, 48000u);
  const std::vector<float>& x = clip->channels[0];
  for (const char* pitch : {"5", "6"}) {
    const std::size_t step = pitch[0] == '5' ? 1 : 2;
    PlayerRig rig(48000.0);
    auto& player = rig.Player(path, pitch);
    rig.Start();
    const std::size_t n = x.size() / step - 8;
    const std::vector<float> y = rig.Left(player, static_cast<int64_t>(n));
    // The first sample already stands one step in. 6 V as a float is a
    // hair above 6, so the octave drifts by about a hundredth of a frame over
    // the file.
    const float tolerance = step == 1 ? 1e-6f : 1e-3f;
    for (std::size_t i = 0; i < n; ++i) {
      ASSERT_NEAR(y[i], 0.5f * x[(i + 1) * step], tolerance)
          << "pitch " << pitch << " sample " << i;
    }
  }
}

TEST(WavePlayer, FileAtHalfTheEngineRateAdvancesHalfAFramePerSample) {
  std::vector<int16_t> samples(4000);
  for (std::size_t k = 0; k < samples.size(); ++k) {
    samples[k] = static_cast<int16_t>(20000 * std::sin(2 * std::numbers::pi * k / 200.0));
  }
  PlayerRig rig(44100.0);
  auto& player = rig.Player(Mono16(22050, samples));
  rig.Start();
  const std::vector<float> y = rig.Left(player, 7000);
  for (std::size_t n = 1; n < 7000; n += 2) {  // whole frames: the sample itself
    ASSERT_NEAR(y[n], Half16(samples[(n + 1) / 2]), 1e-6f) << n;
  }
  for (std::size_t n = 100; n < 7000; n += 2) {  // half frames: between the two
    const double between = 0.25 * (Half16(samples[n / 2]) + Half16(samples[n / 2 + 1])) * 2;
    ASSERT_NEAR(y[n], between, 2e-3) << n;
  }
}

TEST(WavePlayer, SineRecordedAt48kHzKeepsItsPitchAt44k1) {
  std::vector<int16_t> samples(48000);
  for (std::size_t k = 0; k < samples.size(); ++k) {
    samples[k] = static_cast<int16_t>(30000 * std::sin(2 * std::numbers::pi * 1000.0 * k / 48000));
  }
  PlayerRig rig(44100.0);
  auto& player = rig.Player(Mono16(48000, samples));
  rig.Start();
  const std::vector<float> y = rig.Left(player, 32768);
  const std::vector<double> x(y.begin(), y.end());
  const std::vector<double> spectrum = test::HannAmplitudeSpectrum(x);
  const double bin_hz = 44100.0 / 32768.0;
  std::size_t peak = 0;
  for (std::size_t k = 1; k < spectrum.size(); ++k) {
    if (spectrum[k] > spectrum[peak]) peak = k;
  }
  EXPECT_NEAR(peak * bin_hz, 1000.0, bin_hz);
  for (std::size_t k = 1; k < spectrum.size(); ++k) {
    if (std::abs(k * bin_hz - 1000.0) > 20.0) {
      ASSERT_LT(spectrum[k], spectrum[peak] * 0.01) << k * bin_hz << " Hz";
    }
  }
}

TEST(WavePlayer, ReadsEightBitFloatAndStereoFilesAndSkipsListAndOddChunks) {
  // 8 bits: unsigned around 128.
  std::vector<float> y =
      PlayFile(WaveBuilder().Format(1, 1, 44100, 8).Data({128, 128, 255, 0, 128}).Bytes(), 4);
  // The interpolator's taps leak a few parts in 10^8 at whole frames.
  EXPECT_NEAR(y[0], 0.0f, 1e-7f);
  EXPECT_NEAR(y[1], 0.25f, 0.003f);
  EXPECT_NEAR(y[2], -0.25f, 1e-7f);

  const float value = 0.8f;
  std::vector<uint8_t> bytes(4);
  std::memcpy(bytes.data(), &value, 4);
  std::vector<uint8_t> floats;
  for (int i = 0; i < 4; ++i) floats.insert(floats.end(), bytes.begin(), bytes.end());
  // An odd chunk with its pad byte, and a list, before the samples.
  const auto float_file =
      WaveBuilder()
          .Chunk("junk", {1, 2, 3})
          .Chunk("LIST", {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 1, 0, 0, 0, 'x', 0})
          .Format(3, 1, 44100, 32)
          .Data(floats)
          .Bytes();
  y = PlayFile(float_file, 2);
  EXPECT_FLOAT_EQ(y[0], 0.4f);

  PlayerRig rig;
  auto& player = rig.Player(WaveBuilder()
                                .Format(1, 2, 44100, 16)
                                .Data(testing::Pcm16({16384, -16384, 16384, -16384, 16384, -16384}))
                                .Bytes());
  rig.Start();
  const auto out =
      rig.Record({player.plug(ug_wave_in::kLeftOut), player.plug(ug_wave_in::kRightOut)}, 2);
  EXPECT_FLOAT_EQ(out[0][0], 0.25f);
  EXPECT_FLOAT_EQ(out[1][0], -0.25f);
}

// Frame k holds k + 1, so each output sample names the frame it played.
std::vector<uint8_t> CountingFile(int frames, std::optional<std::pair<uint32_t, uint32_t>> loop) {
  std::vector<int16_t> samples(static_cast<std::size_t>(frames));
  for (int k = 0; k < frames; ++k)
    samples[static_cast<std::size_t>(k)] = static_cast<int16_t>(k + 1);
  WaveBuilder file;
  file.Format(1, 1, 44100, 16).Data(testing::Pcm16(samples));
  if (loop) file.Loop(loop->first, loop->second);
  return file.Bytes();
}
int FrameOf(float y) { return static_cast<int>(std::lround(y * 65536.0)) - 1; }

TEST(WavePlayer, PitchFarAboveTheTopPlaysAtMostThirtyTwoFramesPerSample) {
  // 15 V asks for 1024 frames per sample, which overflows a 32-bit increment
  // and would carry the taps out of the buffer.
  PlayerRig rig;
  auto& player = rig.Player(CountingFile(30000, std::nullopt), "15");
  rig.Start();
  const std::vector<float> y = rig.Left(player, 1000);
  EXPECT_EQ(player.Increment(1.5f), ug_wave_in::kMaxIncrement);
  for (int n = 0; n < 900; ++n)
    ASSERT_EQ(FrameOf(y[static_cast<std::size_t>(n)]), 32 * (n + 1)) << n;
  for (int n = 940; n < 1000; ++n) ASSERT_NEAR(y[static_cast<std::size_t>(n)], 0.0f, 1e-6f) << n;
}

TEST(WavePlayer, HoldsTheLoopWhileTheGateIsHighThenPlaysOut) {
  PlayerRig rig;
  auto& player = rig.Player(CountingFile(1000, std::make_pair(100u, 200u)));
  rig.Stream(player, ug_wave_in::kGate, test::GateBetween(0, 3000));
  rig.Start();
  const std::vector<float> y = rig.Left(player, 12000);
  for (int n = 0; n < 4000; ++n) {
    const int p = n + 1;
    const int expected = p < 200 ? p : 100 + (p - 100) % 100;
    ASSERT_EQ(FrameOf(y[static_cast<std::size_t>(n)]), expected) << n;
  }
  // After the gate fell the rest of the file plays, in order, then silence.
  int last = -1;
  std::size_t n = 4000;
  for (; n < y.size() && FrameOf(y[n]) >= 0; ++n) {
    const int frame = FrameOf(y[n]);
    if (last >= 0) {
      ASSERT_EQ(frame, last + 1) << n;
    }
    last = frame;
  }
  EXPECT_EQ(last, 999);
  for (; n < y.size(); ++n) ASSERT_NEAR(y[n], 0.0f, 1e-6f) << n;
}

TEST(WavePlayer, RisingGateRestartsAndUnusableLoopsAreIgnored) {
  PlayerRig rig;
  // The loop ends beyond the data: no loop.
  auto& player = rig.Player(CountingFile(5000, std::make_pair(100u, 6000u)));
  rig.Stream(player, ug_wave_in::kGate, [](uint32_t start, float* s) {
    for (int i = 0; i < ModuleRig::kCell; ++i) s[i] = (start + i) % 3000 < 2000 ? 1.0f : 0.0f;
  });
  rig.Start();
  const std::vector<float> y = rig.Left(player, 6000);
  EXPECT_EQ(FrameOf(y[2999]), 3000);  // played on past the gate's fall
  EXPECT_EQ(FrameOf(y[3000]), 1);     // and from the start at its next rise

  // A loop of no frames would spin the fill for ever: it is no loop either.
  const std::vector<float> z = PlayFile(CountingFile(300, std::make_pair(50u, 50u)), 400);
  EXPECT_EQ(FrameOf(z[250]), 251);
  EXPECT_EQ(z[350], 0.0f);
}

TEST(WavePlayer, UnusableFilesGiveTheirMessageAndSilence) {
  const auto fmt_only = [](uint16_t tag, uint16_t channels, uint16_t bits) {
    return WaveBuilder()
        .Format(tag, channels, 44100, bits)
        .Data(std::vector<uint8_t>(96, 7))
        .Bytes();
  };
  const std::string multichannel = "Multichannel WAVE file format is not supported";
  const std::string sixteen =
      "This WAVE file format is not supported.  Convert it to 16 bit uncompressed mono or stereo.";
  const std::string pcm_or_float =
      "This WAVE file format is not supported.  Convert it to PCM or Float.";
  const std::string invalid = "This is not a valid WAVE file format";
  std::vector<uint8_t> short_fmt =
      WaveBuilder().Chunk("fmt ", {1, 0, 1, 0, 0x44, 0xAC, 0, 0}).Data({1, 2}).Bytes();
  std::vector<uint8_t> bad_align = fmt_only(1, 1, 16);
  bad_align[12 + 8 + 12] = 3;  // block align 3 for 16-bit mono
  std::vector<uint8_t> zero_rate = fmt_only(1, 1, 16);
  std::fill_n(zero_rate.begin() + 12 + 8 + 4, 4, 0);
  std::vector<uint8_t> nested_lists = WaveBuilder().Chunk("LIST", {'x', 'x', 'x', 'x'}).Bytes();
  for (int i = 0; i < 20; ++i) {
    std::vector<uint8_t> body = {'L', 'I', 'S', 'T'};
    std::vector<uint8_t> inner(nested_lists.begin() + 12, nested_lists.end());
    body.insert(body.end(), inner.begin(), inner.end());
    nested_lists = WaveBuilder().Chunk("LIST", body).Bytes();
  }
  const struct {
    const char* what;
    std::vector<uint8_t> file;
    std::string message;
  } cases[] = {
      {"three channels", fmt_only(1, 3, 16), multichannel},
      {"24-bit PCM", fmt_only(1, 1, 24), sixteen},
      {"64-bit float", fmt_only(3, 1, 64), sixteen},
      {"ADPCM", fmt_only(2, 1, 4), pcm_or_float},
      {"not RIFF", std::vector<uint8_t>(64, 'x'), invalid},
      {"no format", WaveBuilder().Data({1, 2}).Bytes(), invalid},
      {"short format", short_fmt, invalid},
      {"no data", WaveBuilder().Format(1, 1, 44100, 16).Bytes(), invalid},
      {"empty data", WaveBuilder().Format(1, 1, 44100, 16).Data({}).Bytes(), invalid},
      {"no channels", fmt_only(1, 0, 16), invalid},
      {"rate 0", zero_rate, invalid},
      {"block align", bad_align, invalid},
      {"lists nested too deep", nested_lists, invalid},
  };
  for (const auto& c : cases) {
    std::vector<std::string> messages;
    const std::vector<float> y = PlayFile(c.file, 300, &messages);
    EXPECT_EQ(messages, std::vector<std::string>{c.message}) << c.what;
    for (float v : y) ASSERT_EQ(v, 0.0f) << c.what;
  }
}

TEST(WavePlayer, DataChunkLongerThanTheFileIsCutToIt) {
  std::vector<uint8_t> file = CountingFile(100, std::nullopt);
  file[40] = 0xFF;  // the data size, now far past the file's end
  file[41] = 0xFF;
  file.push_back(0x7f);  // half a frame more: dropped
  std::vector<std::string> messages;
  const std::vector<float> y = PlayFile(file, 200, &messages);
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(FrameOf(y[98]), 99);
  EXPECT_EQ(y[120], 0.0f);
}

TEST(WavePlayer, MissingFileIsReportedOncePerModule) {
  PlayerRig rig;
  auto& player = rig.Add(std::make_unique<ug_wave_player>());
  player.plug(ug_wave_in::kFileName)->SetValueFromText("nowhere");
  rig.Stream(player, ug_wave_in::kGate, [](uint32_t start, float* s) {
    for (int i = 0; i < ModuleRig::kCell; ++i) s[i] = (start + i) % 500 < 250 ? 1.0f : 0.0f;
  });
  rig.Start();
  const std::vector<float> y = rig.Left(player, 3000);
  EXPECT_EQ(
      rig.boxes.Texts(),
      std::vector<std::string>{"Can't open: nowhere. Check: filename is correct, check it's "
                               "a WAVE file, check your directory settings (Audio/Preferences)"});
  for (float v : y) ASSERT_EQ(v, 0.0f);
}

TEST(WavePlayer, NewFileNameLoadsOffTheAudioThreadAndWaitsForTheGate) {
  PlayerRig rig;
  rig.files.Put("take.wav", CountingFile(20000, std::nullopt));
  rig.files.Put("second.wav", Mono16(44100, std::vector<int16_t>(30000, 1000)));
  auto& player = rig.Add(std::make_unique<ug_wave_player>());
  test::Source& name = rig.Feed(*player.plug(ug_wave_in::kFileName));
  name.plug(0)->SetTextValue("take");
  rig.Stream(player, ug_wave_in::kGate, test::GateBetween(0, 1000000));
  rig.Start();
  EXPECT_EQ(FrameOf(rig.Left(player, 1000)[999]), 1000);
  name.plug(0)->SetTextValue("second");
  name.plug(0)->Transmit(rig.cells * ModuleRig::kCell, ST_STATIC);
  // Silent while it loads and after, while the gate stays high.
  for (float v : rig.Left(player, 128)) ASSERT_EQ(v, 0.0f);
  EXPECT_FALSE(player.FileReady());
  for (int i = 0; i < 500 && !player.FileReady(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    for (float v : rig.Left(player, 128)) ASSERT_EQ(v, 0.0f);
  }
  for (float v : rig.Left(player, 1024)) ASSERT_EQ(v, 0.0f);
  ASSERT_TRUE(player.FileReady());
  EXPECT_EQ(player.Wave()->samples.size(), 60000u);
  // The next rising gate plays the new file.
  rig.drives.back().write = test::GateBetween(rig.cells * ModuleRig::kCell + 10, 1000000);
  const std::vector<float> y = rig.Left(player, 256);
  EXPECT_EQ(y[5], 0.0f);
  EXPECT_FLOAT_EQ(y[100], Half16(1000));
}

}  // namespace
}  // namespace ov
