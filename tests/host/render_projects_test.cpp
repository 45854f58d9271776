// Baked example projects rendered through the plug-in by `orvane render`, the
// way a host plays them: MIDI becomes exact control voltages on the outputs,
// and an effect passes its audio input through untouched.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/audio_master.h"
#include "media/midi_file.h"
#include "media/wav_file.h"
#include "tests/document/format_example.h"
#include "tests/host/plugin_test_support.h"
#include "tests/host/temp_folder.h"
#include "tests/modules/dsp_measure.h"
#include "tools/bench.h"
#include "tools/project_commands.h"

namespace ov {
namespace {

using testing::BuildDir;
using testing::RunProgram;
using testing::TempFolder;

std::string Bake(const TempFolder& folder, const std::string& example) {
  const std::string baked = folder / (example + ".so");
  std::ostringstream out, err;
  EXPECT_EQ(RunBakeCommand({std::string(OV_EXAMPLES_DIR) + "/" + example + ".json", baked,
                            BuildDir() + "/orvane-vst.so"},
                           out, err),
            0)
      << err.str();
  return baked;
}

AudioClip Render(const std::string& library, const std::string& wav, const std::string& options) {
  std::string log;
  EXPECT_EQ(
      RunProgram(BuildDir() + "/orvane render " + library + " -o " + wav + " " + options, &log), 0)
      << log;
  std::string error;
  std::optional<AudioClip> clip = ReadWavFile(wav, &error);
  EXPECT_TRUE(clip.has_value()) << error;
  return clip.value_or(AudioClip{});
}

TEST(RenderProjects, MidiToCvGivesExactVoltagesAtExactSamples) {
  TempFolder folder;
  const std::string library = Bake(folder, "midi_cv_probe");
  // Key 69 at velocity 100 from 0.1 s for 0.5 s, at 48 kHz.
  const AudioClip clip = Render(library, folder / "cv.wav",
                                "--note 69:100:0.1:0.5 --seconds 1 --rate 48000 --block 512");
  ASSERT_EQ(clip.channels.size(), 3u);
  ASSERT_EQ(clip.FrameCount(), 48000u);
  const auto& pitch = clip.channels[0];
  const auto& gate = clip.channels[1];
  const auto& velocity = clip.channels[2];
  constexpr size_t kOn = 4800, kOff = 28800;
  const float level = 100.0f / 127.0f;
  for (size_t i = 0; i < clip.FrameCount(); ++i) {
    const bool sounding = i >= kOn;
    ASSERT_EQ(pitch[i], sounding ? 0.5f : 0.0f) << i;  // 5 V from the note on
    ASSERT_EQ(velocity[i], sounding ? level : 0.0f) << i;
    // The gate rises three samples after the note and falls with its end.
    ASSERT_EQ(gate[i], i >= kOn + 3 && i < kOff ? 1.0f : 0.0f) << i;
  }
}

TEST(RenderProjects, AnEffectPassesItsInputThroughUnchanged) {
  TempFolder folder;
  const std::string library = Bake(folder, "passthrough");
  AudioClip input;
  input.sample_rate = 44100;
  input.channels.resize(2);
  uint32_t noise = 1;
  for (int i = 0; i < 30000; ++i) {
    noise = noise * 1664525u + 1013904223u;
    input.channels[0].push_back(static_cast<float>(noise >> 8) / 16777216.0f - 0.5f);
    input.channels[1].push_back(static_cast<float>(i % 441) / 441.0f);
  }
  std::string error;
  ASSERT_TRUE(WriteFloatWavFile(folder / "in.wav", input, &error)) << error;

  const AudioClip output =
      Render(library, folder / "out.wav", "--in " + (folder / "in.wav") + " --block 300");
  ASSERT_EQ(output.channels.size(), 2u);
  ASSERT_GE(output.FrameCount(), input.FrameCount());
  for (int channel = 0; channel < 2; ++channel) {
    for (size_t i = 0; i < input.FrameCount(); ++i) {
      ASSERT_EQ(output.channels[channel][i], input.channels[channel][i]) << channel << ":" << i;
    }
  }
}

struct Note {
  int key;
  double on;
  double off;
};

std::vector<Note> NotesOf(const MidiSong& song) {
  std::vector<Note> notes;
  for (const MidiChannelEvent& event : song.events) {
    const int command = event.bytes[0] & 0xF0;
    const int key = event.bytes[1];
    if (command == 0x90 && event.bytes[2] != 0) {
      notes.push_back({key, event.seconds, -1});
    } else if (command == 0x80 || command == 0x90) {
      for (Note& note : notes) {
        if (note.key == key && note.off < 0) note.off = event.seconds;
      }
    }
  }
  return notes;
}

double KeyHz(int key) { return 440.0 * std::exp2((key - 69) / 12.0); }

TEST(RenderProjects, TheDemoSynthPlaysTheDemoPhraseAtTheRightPitchesAndTimes) {
  TempFolder folder;
  const std::string library = Bake(folder, "demo-synth");
  const std::string midi = std::string(OV_EXAMPLES_DIR) + "/demo.mid";
  constexpr double kRate = 44100;
  constexpr int32_t kHostBlock = 512;
  const AudioClip clip =
      Render(library, folder / "demo.wav", "--midi " + midi + " --rate 44100 --block 512");
  std::string error;
  const std::optional<MidiSong> song = ReadMidiFile(midi, &error);
  ASSERT_TRUE(song.has_value()) << error;
  const std::vector<Note> notes = NotesOf(*song);
  ASSERT_GE(notes.size(), 10u);
  ASSERT_EQ(clip.channels.size(), 2u);
  const std::vector<float>& left = clip.channels[0];
  ASSERT_EQ(left, clip.channels[1]);  // panned to the centre

  // Notes struck after a rest start within one engine block of their time,
  // with silence before them.
  const double block = OvAudioMaster::ChooseEngineBlockSize(kHostBlock);
  int onsets = 0;
  for (const Note& note : notes) {
    const bool after_rest = std::all_of(notes.begin(), notes.end(), [&](const Note& other) {
      return other.on >= note.on || other.off <= note.on - 0.3;
    });
    if (!after_rest) continue;
    ++onsets;
    const auto from = static_cast<size_t>(std::max(0.0, note.on - 0.2) * kRate);
    size_t first = from;
    while (first < left.size() && std::fabs(left[first]) < 1e-3f) ++first;
    EXPECT_NEAR(static_cast<double>(first), note.on * kRate, block) << "note at " << note.on;
  }
  EXPECT_GE(onsets, 4);

  // Between changes, the spectrum holds the fundamental of every sounding
  // key, and none of the phrase's other keys (unless a held note's harmonic
  // lands there).
  std::set<double> changes;
  std::set<int> keys;
  for (const Note& note : notes) {
    changes.insert(note.on);
    changes.insert(note.off);
    keys.insert(note.key);
  }
  int windows = 0;
  for (auto change = changes.begin(); std::next(change) != changes.end(); ++change) {
    const double start = *change + 0.05, end = *std::next(change) - 0.02;
    size_t size = 1;
    while (size * 2 <= (end - start) * kRate) size *= 2;
    if (size < 8192) continue;
    std::vector<int> held;
    for (const Note& note : notes) {
      if (note.on <= *change && note.off > *change) held.push_back(note.key);
    }
    if (held.empty()) continue;
    const auto first = static_cast<size_t>(start * kRate);
    const std::vector<double> samples(left.begin() + first, left.begin() + first + size);
    const std::vector<double> spectrum = test::HannAmplitudeSpectrum(samples);
    const double peak = *std::max_element(spectrum.begin(), spectrum.end());
    const auto at = [&](double hz) {
      const double bin = hz * static_cast<double>(size) / kRate;
      return std::max({spectrum[static_cast<size_t>(bin) - 1], spectrum[static_cast<size_t>(bin)],
                       spectrum[static_cast<size_t>(bin) + 1],
                       spectrum[static_cast<size_t>(bin) + 2]});
    };
    for (const int key : keys) {
      const bool sounding = std::find(held.begin(), held.end(), key) != held.end();
      if (sounding) {
        EXPECT_GT(at(KeyHz(key)), 0.3 * peak) << "key " << key << " at " << *change;
        continue;
      }
      const bool harmonic = std::any_of(held.begin(), held.end(), [&](int other) {
        const double ratio = KeyHz(key) / KeyHz(other);
        return std::fabs(ratio - std::round(ratio)) < 0.03 * ratio && ratio > 0.5;
      });
      if (!harmonic) {
        EXPECT_LT(at(KeyHz(key)), 0.05 * peak) << "key " << key << " at " << *change;
      }
    }
    ++windows;
  }
  EXPECT_GE(windows, 12);
}

// Brightness as the ratio of a signal's slope to its level: a filter opened
// further raises it.
double Brightness(const std::vector<float>& samples) {
  double level = 0, slope = 0;
  for (std::size_t i = 1; i < samples.size(); ++i) {
    level += double{samples[i]} * samples[i];
    slope += double{samples[i] - samples[i - 1]} * (samples[i] - samples[i - 1]);
  }
  return level > 0 ? std::sqrt(slope / level) : 0;
}

// The demos' panel controls answer every side of a host: its automation of
// the cutoff knob (parameter 1) and the MIDI controller the knob listens to
// (74) open the filter; a program change to the demo's "Patch Select"
// turns its rotary switch from saw to pulse. A bank saved with knobs moved
// loads back to the same bytes and the same sound.
TEST(RenderProjects, TheDemosControlsAnswerTheHostMidiAndProgramChanges) {
  TempFolder folder;
  const std::string synth = Bake(folder, "demo-synth");
  const std::string demo = Bake(folder, "demo");
  // Key 57 for half a second, after `first` when it is given.
  const auto midi = [&](const std::string& name, std::vector<uint8_t> first) {
    std::vector<MidiChannelEvent> events;
    if (!first.empty()) {
      events.push_back({0.0, 0, 0, {first[0], first[1], first.size() > 2 ? first[2] : uint8_t{0}},
                        static_cast<uint8_t>(first.size())});
    }
    events.push_back({0.0, 0, 0, {0x90, 57, 100}, 3});
    events.push_back({0.5, 0, 0, {0x80, 57, 0}, 3});
    std::string error;
    EXPECT_TRUE(WriteMidiFile(folder / name, events, 120, &error)) << error;
    return "--midi " + (folder / name) + " --seconds 0.6 --rate 44100 ";
  };
  const std::string plain = midi("plain.mid", {});
  const auto render = [&](const std::string& library, const std::string& options) {
    const AudioClip clip = Render(library, folder / "out.wav", options);
    return clip.channels.empty() ? std::vector<float>() : clip.channels[0];
  };

  enum Expect { kBrighter, kDarker, kDifferent };
  const struct {
    const char* what;
    const std::string& library;
    std::string options;
    Expect expect;
  } cases[] = {
      {"host automation of the cutoff", synth, plain + "--param 1=0.9", kBrighter},
      {"controller 74 at 127", synth, midi("cc127.mid", {0xB0, 74, 127}), kBrighter},
      {"controller 74 at 0", synth, midi("cc0.mid", {0xB0, 74, 0}), kDarker},
      {"program change 1", demo, midi("program.mid", {0xC0, 1}), kDifferent},
      {"the host's program 1", demo, plain + "--program 1", kDifferent},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<float> before = render(c.library, plain);
    const std::vector<float> after = render(c.library, c.options);
    ASSERT_EQ(after.size(), before.size());
    EXPECT_NE(after, before);
    if (c.expect == kBrighter) {
      EXPECT_GT(Brightness(after), 1.05 * Brightness(before));
    } else if (c.expect == kDarker) {
      EXPECT_LT(Brightness(after), Brightness(before) / 1.05);
    }
  }

  // Knobs moved from the host and by MIDI, saved as a bank: loading it and
  // saving again gives the same bytes, and it plays as the host's setting.
  const std::string saved = folder / "saved.fxb", again = folder / "again.fxb";
  render(synth, midi("cc127.mid", {0xB0, 74, 127}) + "--param 4=0.5 --save-state " + saved);
  const std::vector<float> loaded =
      render(synth, plain + "--load-state " + saved + " --save-state " + again);
  std::ifstream first(saved, std::ios::binary), second(again, std::ios::binary);
  const std::string bytes(std::istreambuf_iterator<char>(first), {});
  EXPECT_GT(bytes.size(), 60u);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(second), {}), bytes);
  EXPECT_EQ(loaded, render(synth, plain + "--param 1=1 --param 4=0.5"));
}

// The complete example of the project format's documentation bakes and
// plays a note, its patch memory module among the rest.
TEST(RenderProjects, TheFormatDocumentationsExamplePlaysANote) {
  const std::string example =
      testing::FormatExample(std::string(OV_EXAMPLES_DIR) + "/../docs/project-format.md");
  ASSERT_FALSE(example.empty());
  TempFolder folder;
  const std::string project = folder / "synth.json";
  std::ofstream(project) << example;
  const std::string baked = folder / "synth.so";
  std::ostringstream out, err;
  ASSERT_EQ(RunBakeCommand({project, baked, BuildDir() + "/orvane-vst.so"}, out, err), 0)
      << err.str();
  const AudioClip clip =
      Render(baked, folder / "synth.wav", "--note 57:100:0.1:0.5 --seconds 1 --rate 44100");
  ASSERT_FALSE(clip.channels.empty());
  const std::vector<float>& left = clip.channels[0];
  ASSERT_EQ(left.size(), 44100u);
  const auto peak = [&](size_t from, size_t to) {
    float most = 0;
    for (size_t i = from; i < to; ++i) most = std::max(most, std::fabs(left[i]));
    return most;
  };
  EXPECT_EQ(peak(0, 4000), 0.0f);  // before the note
  EXPECT_GT(peak(4410, 26460), 0.05f);
}

// The logic sequencer plays by itself: a 2 Hz clock steps a four-output
// counter whose scaled outputs, summed and rounded to semitones, set the
// voice's pitch, while pulses from the clock open its VCA.
TEST(RenderProjects, TheLogicSequencerPlaysItsFourNotesOnTheClock) {
  TempFolder folder;
  const std::string library = Bake(folder, "logic-sequencer");
  constexpr double kRate = 44100;
  const AudioClip clip =
      Render(library, folder / "logic.wav", "--seconds 4 --rate 44100 --block 512");
  ASSERT_EQ(clip.channels.size(), 2u);
  const std::vector<float>& audio = clip.channels[0];
  const std::vector<float>& clock = clip.channels[1];
  ASSERT_EQ(audio.size(), static_cast<size_t>(4 * kRate));

  // Clock edges as a logic input reads them: above 3.33 V after being below
  // 1.67 V.
  std::vector<size_t> edges;
  bool high = false;
  for (size_t n = 0; n < clock.size(); ++n) {
    if (!high && clock[n] > 0.33333334f) edges.push_back(n);
    if (clock[n] > 0.33333334f) high = true;
    if (clock[n] < 0.16666667f) high = false;
  }
  ASSERT_EQ(edges.size(), 8u);
  // The counter opens on its first output; each edge steps to the next.
  const double notes[] = {440.0, 523.2511, 659.2551, 783.9909};  // A4 C5 E5 G5
  const auto pulse = static_cast<size_t>(0.2 * kRate);  // 2 V "Pulse Length"
  for (size_t k = 0; k < edges.size(); ++k) {
    SCOPED_TRACE(::testing::Message() << "edge " << k << " at " << edges[k]);
    size_t start = edges[k] - 100;
    while (start < audio.size() && audio[start] == 0.0f) ++start;
    EXPECT_LE(std::max(start, edges[k]) - std::min(start, edges[k]), 1u);
    const std::vector<float> note(audio.begin() + static_cast<std::ptrdiff_t>(edges[k] + 50),
                                  audio.begin() + static_cast<std::ptrdiff_t>(edges[k] + pulse - 50));
    const double expected = notes[(k + 1) % 4];
    EXPECT_NEAR(test::FrequencyByCrossings(note, kRate), expected, expected * 0.001);
    EXPECT_EQ(audio[edges[k] + pulse + 10], 0.0f) << "the pulse has ended";
  }
}

TEST(RenderProjects, ThePdEchoPlaysItsNoteThenEchoesEachHalfTheLast) {
  TempFolder folder;
  const std::string library = Bake(folder, "pd-echo");
  constexpr double kRate = 44100;
  const AudioClip clip = Render(library, folder / "pd.wav",
                                "--note 57:100:0.1:0.2 --seconds 3 --rate 44100 --block 512");
  ASSERT_EQ(clip.channels.size(), 2u);
  const std::vector<float>& out = clip.channels[0];
  ASSERT_EQ(out.size(), 132300u);
  ASSERT_TRUE(std::all_of(out.begin(), out.end(), [](float x) { return std::isfinite(x); }));

  // The note alone, from its start to 0.3 s.
  constexpr std::size_t kStart = 4410, kLength = 8820;
  const std::vector<double> dry(out.begin() + kStart, out.begin() + kStart + kLength);
  // Key 57 is 220 Hz: the line near it, from a zero-padded FFT with a
  // parabola through the peak's bins. The waves alternate, so lines at every
  // multiple of 110 Hz stand beside it: a Blackman-Harris window keeps them
  // from leaking into it.
  std::vector<std::complex<double>> padded(1 << 16);
  for (std::size_t n = 0; n < kLength; ++n) {
    const double phase = 2 * M_PI * static_cast<double>(n) / (kLength - 1);
    const double window = 0.35875 - 0.48829 * std::cos(phase) + 0.14128 * std::cos(2 * phase) -
                          0.01168 * std::cos(3 * phase);
    padded[n] = dry[n] * window;
  }
  test::Fft(padded);
  const double bin_hz = kRate / static_cast<double>(padded.size());
  std::size_t peak = 0;
  for (auto bin = static_cast<std::size_t>(200 / bin_hz); bin < 240 / bin_hz; ++bin) {
    if (peak == 0 || std::abs(padded[bin]) > std::abs(padded[peak])) peak = bin;
  }
  const double a = std::log(std::abs(padded[peak - 1])), b = std::log(std::abs(padded[peak])),
               c = std::log(std::abs(padded[peak + 1]));
  const double hz = (static_cast<double>(peak) + 0.5 * (a - c) / (a - 2 * b + c)) * bin_hz;
  EXPECT_NEAR(hz, 220.0, 0.22);

  // Each echo is the note again, found as the best match within 150
  // samples: the first after the delay line's 0.25 s (less the sample its
  // read point lies behind the write), the next ones each that plus one
  // engine block after the one before; each 6 dB below the last.
  const auto block = static_cast<std::size_t>(OvAudioMaster::ChooseEngineBlockSize(512));
  const std::size_t line = static_cast<std::size_t>(0.25 * kRate) - 1;
  double previous_gain = 1.0;
  for (std::size_t echo = 1; echo <= 3; ++echo) {
    const std::size_t expected = echo * line + (echo - 1) * block;
    std::size_t best = 0;
    double best_match = -1, best_gain = 0;
    for (std::size_t lag = expected - 150; lag <= expected + 150; ++lag) {
      double cross = 0, power = 0, energy = 0;
      for (std::size_t n = 0; n < kLength; ++n) {
        const double y = out[kStart + lag + n];
        cross += dry[n] * y;
        power += dry[n] * dry[n];
        energy += y * y;
      }
      const double match = cross / std::sqrt(power * energy);
      if (match > best_match) {
        best_match = match;
        best = lag;
        best_gain = cross / power;
      }
    }
    EXPECT_EQ(best, expected) << "echo " << echo;
    EXPECT_GT(best_match, 0.99) << "echo " << echo;
    if (echo > 1) {
      EXPECT_NEAR(20 * std::log10(best_gain / previous_gain), -6.02, 0.5) << "echo " << echo;
    }
    previous_gain = best_gain;
  }
}

std::string BenchReport(const std::string& target, int notes) {
  std::ostringstream out, err;
  const BenchCommandLine line{target, notes, 0.25, "", BuildDir() + "/orvane-vst.so"};
  EXPECT_EQ(RunBenchCommand(line, out, err), 0) << err.str();
  EXPECT_EQ(err.str(), "");
  return out.str();
}

TEST(Bench, RaisesAProjectsPolyphonyToTheVoicesAndReportsTheFigures) {
  const std::string report = BenchReport(std::string(OV_EXAMPLES_DIR) + "/demo-synth.json", 20);
  EXPECT_NE(report.find("Polyphony raised from 16 to 20"), std::string::npos) << report;
  EXPECT_NE(report.find("notes held: 20.0, mean voices sounding: 20.0"), std::string::npos)
      << report;
  EXPECT_NE(report.find("ns per voice-sample"), std::string::npos) << report;
}

// A baked library keeps its 16 voices: 40 held notes steal them, and the
// time is shared among the 16 that sound, not the 40 notes.
TEST(Bench, CountsTheVoicesThatSoundNotTheNotesHeld) {
  TempFolder folder;
  const std::string library = Bake(folder, "demo-synth");
  const std::string report = BenchReport(library, 40);
  EXPECT_EQ(report.find("Polyphony raised"), std::string::npos) << report;
  EXPECT_NE(report.find("notes held: 40.0, mean voices sounding: 16.0"), std::string::npos)
      << report;
  // Reported per voice: the time over 16 voice-samples per sample.
  const auto figure = [&](const std::string& unit) {
    const std::size_t end = report.find(unit);
    const std::size_t start = report.rfind(", ", end) + 2;
    return std::stod(report.substr(start, end - start));
  };
  EXPECT_NEAR(figure(" ns per voice-sample") * 16, figure(" ns per sample"),
              0.01 * figure(" ns per sample"));
}

// A library of someone else's cannot say how many voices sound.
TEST(Bench, AForeignLibraryIsMeasuredPerNoteHeldAndSaysSo) {
  const std::string kars = "/usr/lib/vst/Kars-vst.so";
  if (!std::filesystem::exists(kars)) GTEST_SKIP() << kars << " is not installed";
  const std::string report = BenchReport(kars, 4);
  EXPECT_NE(report.find("notes held: 4.0\n"), std::string::npos) << report;
  EXPECT_NE(report.find("the figure is per note held"), std::string::npos) << report;
  EXPECT_NE(report.find("ns per note-sample"), std::string::npos) << report;
  EXPECT_EQ(report.find("voice-sample"), std::string::npos) << report;
}

TEST(Bench, RefusesBadArgumentsNamingThem) {
  std::string error;
  const auto parse = [&](std::vector<std::string> arguments) {
    return ParseBenchArguments(arguments, &error);
  };
  const std::optional<BenchCommandLine> line =
      parse({"synth.json", "--voices", "8", "--seconds", "2.5", "--midi", "song.mid"});
  ASSERT_TRUE(line.has_value()) << error;
  EXPECT_EQ(line->voices, 8);
  EXPECT_EQ(line->seconds, 2.5);
  EXPECT_EQ(line->midi_path, "song.mid");
  EXPECT_FALSE(parse({"synth.json", "--voices", "0"}));
  EXPECT_EQ(error, "--voices takes 1 to 128");
  EXPECT_FALSE(parse({"synth.json", "--seconds", "nan"}));
  EXPECT_FALSE(parse({"synth.json", "--seconds"}));
  EXPECT_EQ(error, "--seconds needs a value");
  EXPECT_FALSE(parse({"--voices", "4"}));
  EXPECT_EQ(error, "no plug-in library or project given");
  EXPECT_FALSE(parse({"a.so", "b.so"}));
}

}  // namespace
}  // namespace ov
