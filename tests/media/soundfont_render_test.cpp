// The "Soundfont Player" baked into a plug-in and rendered by `orvane
// render`, side by side with FluidSynth rendering the same bank and MIDI
// file. The player has no filter, velocity curve or pan, so the comparisons
// are of onsets, pitch and spectral balance after matching overall level.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "media/midi_file.h"
#include "media/soundfont_bank.h"
#include "media/wav_file.h"
#include "tests/host/plugin_test_support.h"
#include "tests/host/temp_folder.h"
#include "tests/media/soundfont_writer.h"
#include "tests/modules/dsp_measure.h"
#include "tools/project_commands.h"

namespace ov {
namespace {

using testing::BuildDir;
using testing::RunProgram;
using testing::TempFolder;

constexpr double kRate = 44100.0;
constexpr char kFont[] = "/usr/share/sounds/sf2/TimGM6mb.sf2";
constexpr char kSong[] = "/usr/share/planetblupi/music/music004.mid";

bool HaveFluidSynth() {
  std::string log;
  return RunProgram("command -v fluidsynth", &log) == 0;
}

std::vector<double> MonoSum(const std::string& wav) {
  std::string error;
  const std::optional<AudioClip> clip = ReadWavFile(wav, &error);
  EXPECT_TRUE(clip.has_value()) << error;
  if (!clip || clip->channels.empty()) return {};
  EXPECT_EQ(clip->sample_rate, kRate);
  std::vector<double> sum(clip->FrameCount(), 0.0);
  for (const auto& channel : clip->channels) {
    for (std::size_t i = 0; i < sum.size(); ++i) sum[i] += channel[i];
  }
  return sum;
}

// The GM player example (TimGM6mb in a "Soundfont Player"), baked.
std::string BakePlayer(const TempFolder& folder) {
  const std::string baked = folder / "gm.so";
  std::ostringstream out, err;
  EXPECT_EQ(RunBakeCommand({std::string(OV_EXAMPLES_DIR) + "/gm-player.json", baked,
                            BuildDir() + "/orvane-vst.so"},
                           out, err),
            0)
      << err.str();
  return baked;
}

struct Renders {
  std::vector<double> ours;
  std::vector<double> reference;
};

Renders RenderBoth(const TempFolder& folder, const std::string& library, const std::string& midi,
                   double seconds) {
  std::string log;
  EXPECT_EQ(RunProgram(BuildDir() + "/orvane render " + library + " --midi " + midi +
                           " --rate 44100 --seconds " + std::to_string(seconds) + " -o " +
                           (folder / "ours.wav"),
                       &log),
            0)
      << log;
  EXPECT_EQ(RunProgram("fluidsynth -ni -q -R 0 -C 0 -g 1 -r 44100 -O float -T wav -F " +
                           (folder / "ref.wav") + " " + kFont + " " + midi,
                       &log),
            0)
      << log;
  Renders renders{MonoSum(folder / "ours.wav"), MonoSum(folder / "ref.wav")};
  const auto length = static_cast<std::size_t>(seconds * kRate);
  renders.ours.resize(length, 0.0);
  renders.reference.resize(length, 0.0);
  return renders;
}

// Power in 1/3-octave bands centred on 1 kHz × 2^(k/3), averaged over Hann
// windows of 8192 samples from `from` to `to`.
std::vector<double> ThirdOctaves(const std::vector<double>& x, std::size_t from, std::size_t to,
                                 int first_band, int last_band) {
  constexpr std::size_t kWindow = 8192;
  std::vector<double> power(kWindow / 2, 0.0);
  for (std::size_t at = from; at + kWindow <= std::min(to, x.size()); at += kWindow / 2) {
    std::vector<std::complex<double>> a(kWindow);
    for (std::size_t i = 0; i < kWindow; ++i) {
      const double w = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) /
                                            static_cast<double>(kWindow));
      a[i] = x[at + i] * w;
    }
    test::Fft(a);
    for (std::size_t b = 0; b < power.size(); ++b) power[b] += std::norm(a[b]);
  }
  std::vector<double> bands;
  for (int k = first_band; k <= last_band; ++k) {
    const double centre = 1000.0 * std::exp2(k / 3.0);
    double sum = 1e-30;
    for (std::size_t b = 1; b < power.size(); ++b) {
      const double f = static_cast<double>(b) * kRate / kWindow;
      if (f >= centre * std::exp2(-1.0 / 6.0) && f < centre * std::exp2(1.0 / 6.0)) sum += power[b];
    }
    bands.push_back(10.0 * std::log10(sum));
  }
  return bands;
}

double LevelDb(const std::vector<double>& x) {
  double sum = 1e-30;
  for (double v : x) sum += v * v;
  return 10.0 * std::log10(sum);
}

// The first sample reaching 1 % of the peak.
std::size_t Onset(const std::vector<double>& x) {
  double peak = 0.0;
  for (double v : x) peak = std::max(peak, std::abs(v));
  for (std::size_t i = 0; i < x.size(); ++i) {
    if (std::abs(x[i]) >= 0.01 * peak) return i;
  }
  return x.size();
}

// The period, in samples, that best repeats a window of `x` near `expected`.
double Period(const std::vector<double>& x, std::size_t from, double expected) {
  constexpr std::size_t kWindow = 4096;
  const auto lowest = static_cast<std::size_t>(expected / std::exp2(3.0 / 12.0));
  const auto highest = static_cast<std::size_t>(expected * std::exp2(3.0 / 12.0)) + 1;
  std::vector<double> r(highest + 2, 0.0);
  for (std::size_t lag = lowest - 1; lag <= highest + 1; ++lag) {
    for (std::size_t i = from; i < from + kWindow && i + lag < x.size(); ++i) {
      r[lag] += x[i] * x[i + lag];
    }
  }
  std::size_t best = lowest;
  for (std::size_t lag = lowest; lag <= highest; ++lag) best = r[lag] > r[best] ? lag : best;
  const double a = r[best - 1], b = r[best], c = r[best + 1];
  const double denominator = a - 2.0 * b + c;
  return static_cast<double>(best) + (denominator != 0.0 ? 0.5 * (a - c) / denominator : 0.0);
}

// Programs of bank 0 whose key 60 at velocity 127 sounds one zone (or one
// stereo pair) without a filter.
std::vector<int> PlainPrograms() {
  std::ifstream in(kFont, std::ios::binary);
  const std::vector<uint8_t> file{std::istreambuf_iterator<char>(in), {}};
  soundfont_bank bank;
  std::string error;
  if (!bank.Load(file, &error)) return {};
  std::vector<int> programs;
  for (int program = 0; program < 128; ++program) {
    bank.SetBank(0, 0);
    bank.SetPreset(0, program);
    int covering = 0;
    bool filtered = false;
    for (const Jzone& zone : bank.Zones(0)) {
      if (zone.Low(kGenKeyRange) <= 60 && 60 <= zone.High(kGenKeyRange) &&
          zone.High(kGenVelRange) >= 127) {
        ++covering;
        filtered = filtered || zone.gen[8] < 13500;
      }
    }
    if (covering >= 1 && covering <= 2 && !filtered) programs.push_back(program);
  }
  return programs;
}

TEST(SoundfontRender, SingleNotesMatchFluidSynthInOnsetPitchAndBands) {
  if (!HaveFluidSynth() || !std::filesystem::exists(kFont)) {
    GTEST_SKIP() << "fluidsynth or " << kFont << " is not installed";
  }
  TempFolder folder;
  const std::string library = BakePlayer(folder);
  const std::vector<int> programs = PlainPrograms();
  ASSERT_GE(programs.size(), 3u);
  for (int program : std::vector<int>(programs.begin(), programs.begin() + 3)) {
    SCOPED_TRACE("program " + std::to_string(program));
    const std::vector<MidiChannelEvent> events = {
        {0.0, 0, 0, {0xC0, static_cast<uint8_t>(program), 0}, 2},
        {0.1, 0, 0, {0x90, 60, 127}, 3},
        {1.1, 0, 0, {0x80, 60, 0}, 3},
    };
    const std::string midi = folder / ("note" + std::to_string(program) + ".mid");
    std::string error;
    ASSERT_TRUE(WriteMidiFile(midi, events, 120.0, &error)) << error;
    const Renders r = RenderBoth(folder, library, midi, 1.5);

    const std::size_t ours_onset = Onset(r.ours);
    const std::size_t ref_onset = Onset(r.reference);
    EXPECT_LE(std::abs(static_cast<double>(ours_onset) - static_cast<double>(ref_onset)),
              0.003 * kRate);
    const double expected = kRate / 261.6256;
    const double cents = 1200.0 * std::log2(Period(r.reference, ref_onset + 4410, expected) /
                                            Period(r.ours, ours_onset + 4410, expected));
    EXPECT_LE(std::abs(cents), 5.0);

    const std::vector<double> ours = ThirdOctaves(r.ours, ours_onset, ours_onset + 32768, -13, 13);
    const std::vector<double> ref = ThirdOctaves(r.reference, ref_onset, ref_onset + 32768, -13, 13);
    const double gain = LevelDb(r.reference) - LevelDb(r.ours);
    const double loudest = *std::max_element(ref.begin(), ref.end());
    for (std::size_t b = 0; b < ref.size(); ++b) {
      if (ref[b] < loudest - 30.0) continue;
      EXPECT_NEAR(ours[b] + gain, ref[b], 6.0)
          << "band " << 1000.0 * std::exp2((static_cast<double>(b) - 13.0) / 3.0) << " Hz";
    }
  }
}

// A player of the tests' own bank: one sample of a constant, looped from
// 100 to 1900 or played once, released over half a second.
std::string BakeOwnPlayer(const TempFolder& folder, int16_t sample_mode, bool channel_on) {
  testing::SoundFontWriter writer;
  writer.samples.push_back({"flat", std::vector<int16_t>(2000, 8000), 100, 1900});
  writer.instruments.push_back(
      {"flat", {{{kGenReleaseVolEnv, -1200}, {kGenSampleModes, sample_mode}, {kGenSampleId, 0}}}});
  writer.presets.push_back({"flat", 0, 0, {{{kGenInstrument, 0}}}});
  const std::vector<uint8_t> bytes = writer.Bytes();
  const std::string font = folder / "flat.sf2";
  std::ofstream(font, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  std::string value = "flat";
  for (int c = 0; c < 16; ++c) value += c == 0 && !channel_on ? ",  0   0 0" : ",  0   0 1";
  value += ",";
  const std::string json = folder / "flat.json";
  std::ofstream(json) << R"({"version": 95960, "plugin_id": "OvFl", "plugin_flags": 1,
    "files": [{"path": ")" << font << R"("}],
    "root": {"type": "Container", "modules": [{
      "type": "Container", "name": "voices",
      "io": [{"name": "MIDI In", "direction": "in", "datatype": "midi"},
             {"name": "Left", "direction": "out", "datatype": "audio"}],
      "modules": [{"type": "Soundfont Player", "name": "player", "values": [")"
                      << value << R"("]}],
      "connections": ["io.MIDI In -> player.MIDI In", "player.Left Out -> io.Left"]}]}})";
  const std::string baked = folder / "flat.so";
  std::ostringstream out, err;
  EXPECT_EQ(RunBakeCommand({json, baked, BuildDir() + "/orvane-vst.so"}, out, err), 0) << err.str();
  return baked;
}

TEST(SoundfontRender, NotesFollowTheChannelSwitchTheLoopAndTheEnvelope) {
  struct Case {
    const char* what;
    int16_t sample_mode;
    bool channel_on;
    bool held;      // sound between 0.2 and 0.4 s, the key down
    bool released;  // sound after 1.1 s, 0.6 s after the key went up
  };
  const std::vector<Case> cases = {
      {"a looped sample sounds while held and fades over its release", 1, true, true, false},
      {"a sample played once ends while the key is still down", 0, true, false, false},
      {"a channel switched off takes no notes", 1, false, false, false},
  };
  const std::vector<MidiChannelEvent> events = {{0.1, 0, 0, {0x90, 69, 100}, 3},
                                                {0.5, 0, 0, {0x80, 69, 0}, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder folder;
    const std::string midi = folder / "note.mid";
    std::string error;
    ASSERT_TRUE(WriteMidiFile(midi, events, 120.0, &error)) << error;
    const std::string library = BakeOwnPlayer(folder, c.sample_mode, c.channel_on);
    std::string log;
    ASSERT_EQ(RunProgram(BuildDir() + "/orvane render " + library + " --midi " + midi +
                             " --rate 44100 --seconds 1.5 -o " + (folder / "out.wav"),
                         &log),
              0)
        << log;
    const std::vector<double> out = MonoSum(folder / "out.wav");
    ASSERT_EQ(out.size(), 66150u);
    const auto peak = [&](double from, double to) {
      double most = 0.0;
      for (auto i = static_cast<std::size_t>(from * kRate); i < static_cast<std::size_t>(to * kRate);
           ++i) {
        most = std::max(most, std::abs(out[i]));
      }
      return most;
    };
    // A constant 8000 plays at about 8000 / 2^17, 0.061.
    EXPECT_EQ(peak(0.2, 0.4) > 0.05, c.held) << peak(0.2, 0.4);
    EXPECT_EQ(peak(1.1, 1.5) > 0.0, c.released) << peak(1.1, 1.5);
    EXPECT_EQ(peak(0.0, 0.09), 0.0);
  }
}

// Onsets: 5 ms frames of the signal's first difference (where attacks
// stand out of held notes) whose energy rises 6 dB above the frames 3 to 6 ms
// before, within 50 dB of the loudest, 50 ms apart at least.
std::vector<double> MusicOnsets(const std::vector<double>& x) {
  constexpr std::size_t kHop = 64;
  std::vector<double> energy;
  for (std::size_t at = 0; at + 4 * kHop <= x.size(); at += kHop) {
    double e = 1e-30;
    // The first difference: transients stand out of sustained notes.
    for (std::size_t i = at + 1; i < at + 4 * kHop; ++i) e += (x[i] - x[i - 1]) * (x[i] - x[i - 1]);
    energy.push_back(e);
  }
  const double loudest = *std::max_element(energy.begin(), energy.end());
  std::vector<double> onsets;
  for (std::size_t k = 8; k < energy.size(); ++k) {
    const double before = *std::max_element(energy.begin() + static_cast<std::ptrdiff_t>(k - 8),
                                            energy.begin() + static_cast<std::ptrdiff_t>(k - 4));
    if (energy[k] < 4.0 * before || energy[k] < loudest * 1e-5) continue;
    const double t = static_cast<double>((k + 4) * kHop) / kRate;
    if (onsets.empty() || t - onsets.back() > 0.05) onsets.push_back(t);
  }
  return onsets;
}

TEST(SoundfontRender, TheFirstTwentySecondsOfASongMatchFluidSynthsOnsetsAndSpectrum) {
  if (!HaveFluidSynth() || !std::filesystem::exists(kFont) || !std::filesystem::exists(kSong)) {
    GTEST_SKIP() << "fluidsynth, " << kFont << " or " << kSong << " is not installed";
  }
  TempFolder folder;
  std::string error;
  const std::optional<MidiSong> song = ReadMidiFile(kSong, &error);
  ASSERT_TRUE(song.has_value()) << error;
  // FluidSynth plays a file to its end: the song is cut at 20 s for both.
  std::vector<MidiChannelEvent> events;
  for (const MidiChannelEvent& event : song->events) {
    if (event.seconds < 20.0) events.push_back(event);
  }
  const std::string midi = folder / "song20.mid";
  ASSERT_TRUE(WriteMidiFile(midi, events, 120.0, &error)) << error;
  const Renders r = RenderBoth(folder, BakePlayer(folder), midi, 20.0);

  const std::vector<double> ref_onsets = MusicOnsets(r.reference);
  const std::vector<double> our_onsets = MusicOnsets(r.ours);
  ASSERT_GT(ref_onsets.size(), 20u);
  std::size_t matched = 0;
  for (double t : ref_onsets) {
    const auto near = std::lower_bound(our_onsets.begin(), our_onsets.end(), t - 0.005);
    matched += near != our_onsets.end() && *near <= t + 0.005;
  }
  EXPECT_GE(static_cast<double>(matched), 0.95 * static_cast<double>(ref_onsets.size()))
      << matched << " of " << ref_onsets.size() << " onsets";

  // 100 Hz to 5 kHz: bands -10 to 7.
  const std::vector<double> ours = ThirdOctaves(r.ours, 0, r.ours.size(), -10, 7);
  const std::vector<double> ref = ThirdOctaves(r.reference, 0, r.reference.size(), -10, 7);
  const double gain = LevelDb(r.reference) - LevelDb(r.ours);
  for (std::size_t b = 0; b < ref.size(); ++b) {
    EXPECT_NEAR(ours[b] + gain, ref[b], 10.0)
        << "band " << 1000.0 * std::exp2((static_cast<double>(b) - 10.0) / 3.0) << " Hz";
  }
}

}  // namespace
}  // namespace ov
