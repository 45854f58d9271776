// The MIDI player and recorder baked into plug-ins and rendered, on real
// songs: what the player sends is the song, to the sample; what the recorder
// keeps is what it was sent, to the millisecond. The step-bass example's
// sequencers play their patterns on their ticks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "media/midi_file.h"
#include "tests/host/temp_folder.h"
#include "tools/render.h"

namespace ov {
namespace {

constexpr double kRate = 48000;
constexpr double kSeconds = 20;
const std::string kMusic = "/usr/share/planetblupi/music/";

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Orvane(const std::string& arguments) {
  return std::string(std::getenv("OV_BUILD_DIR")) + "/orvane " + arguments + " >/dev/null";
}

// Bakes the example `name`, with every `from` in its text replaced by `to`, as
// `library`.so in `folder`; the library's path.
std::string Bake(const testing::TempFolder& folder, const std::string& name,
                 const std::string& library, const std::string& from = "",
                 const std::string& to = "") {
  std::string text = ReadAll(std::string(OV_EXAMPLES_DIR) + "/" + name + ".json");
  for (std::size_t at = 0; !from.empty() && (at = text.find(from, at)) != std::string::npos;
       at += to.size()) {
    text.replace(at, from.size(), to);
  }
  const std::string project = folder / (library + ".json");
  std::ofstream(project) << text;
  const std::string path = folder / (library + ".so");
  EXPECT_EQ(std::system(Orvane("bake " + project + " -o " + path).c_str()), 0);
  return path;
}

RenderResult RenderFor(const std::string& library, const std::string& midi = "") {
  RenderSettings settings;
  settings.plugin_path = library;
  settings.midi_path = midi;
  settings.seconds = kSeconds;
  settings.sample_rate = kRate;
  std::ostringstream log;
  std::string error;
  std::optional<RenderResult> result = Render(settings, log, false, &error);
  EXPECT_TRUE(result) << error;
  return result.value_or(RenderResult{});
}

MidiSong ReadSong(const std::string& path) {
  std::string error;
  std::optional<MidiSong> song = ReadMidiFile(path, &error);
  EXPECT_TRUE(song) << error;
  return song.value_or(MidiSong{});
}

TEST(MidiFiles, PlayerSendsEverySongMessageWithinOneSample) {
  struct Song {
    const char* name;
    uint16_t tracks;
  };
  for (const Song& expected_song : {Song{"music000", 9}, Song{"music004", 5}}) {
    SCOPED_TRACE(expected_song.name);
    testing::TempFolder folder;
    const std::string library =
        Bake(folder, "midi-player", "Player", "music004", expected_song.name);
    const MidiSong song = ReadSong(kMusic + expected_song.name + ".mid");
    EXPECT_EQ(song.track_count, expected_song.tracks);
    const RenderResult result = RenderFor(library);

    // Events on the render's last sample may fall either side of its end.
    const double last = kSeconds * kRate - 2;
    std::vector<MidiChannelEvent> expected;
    for (const MidiChannelEvent& event : song.events) {
      if (event.seconds * kRate < last) expected.push_back(event);
    }
    std::vector<ScheduledMidi> sent;
    for (const ScheduledMidi& midi : result.midi_output) {
      if (midi.frame < last) sent.push_back(midi);
    }
    ASSERT_GT(expected.size(), 100u);
    ASSERT_EQ(sent.size(), expected.size());
    for (std::size_t i = 0; i < sent.size(); ++i) {
      const MidiChannelEvent& event = expected[i];
      ASSERT_EQ(std::vector<uint8_t>(sent[i].bytes, sent[i].bytes + event.size),
                std::vector<uint8_t>(event.bytes, event.bytes + event.size))
          << i;
      ASSERT_NEAR(static_cast<double>(sent[i].frame), event.seconds * kRate, 1.0) << i;
    }
  }
  EXPECT_NEAR(ReadSong(kMusic + "music004.mid").FirstTempoBpm(), 104, 0.5);

  // The command line keeps them in a MIDI file.
  testing::TempFolder folder;
  const std::string library = Bake(folder, "midi-player", "Player");
  const std::string played = folder / "played.mid";
  ASSERT_EQ(std::system(Orvane("render " + library + " --seconds 20 --midi-out " + played + " -o " +
                               (folder / "silence.wav"))
                            .c_str()),
            0);
  EXPECT_EQ(ReadSong(played).events.size(), RenderFor(library).midi_output.size());
}

TEST(MidiFiles, RecorderKeepsWhatARenderSendsToTheMillisecond) {
  testing::TempFolder folder;
  const std::string library = Bake(folder, "midi-recorder", "Rec");
  const std::string source = kMusic + "music004.mid";
  RenderFor(library, source);
  const std::string take = folder / "Rec/orvane.mid";
  const MidiSong recorded = ReadSong(take);
  std::vector<MidiChannelEvent> expected;
  for (const MidiChannelEvent& event : ReadSong(source).events) {
    if (std::llround(event.seconds * kRate) < kSeconds * kRate) expected.push_back(event);
  }
  ASSERT_GT(expected.size(), 100u);
  ASSERT_EQ(recorded.events.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    MidiChannelEvent want = expected[i];
    want.bytes[0] &= 0xF0;  // channel 1
    if (want.bytes[0] == 0x90 && want.bytes[2] == 0) want.bytes[0] = 0x80;
    const MidiChannelEvent& got = recorded.events[i];
    ASSERT_EQ(std::vector<uint8_t>(got.bytes, got.bytes + got.size),
              std::vector<uint8_t>(want.bytes, want.bytes + want.size))
        << i;
    ASSERT_NEAR(got.seconds, want.seconds, 0.001 + 1e-9) << i;
  }

  // A second take does not replace the first.
  const std::string first = ReadAll(take);
  RenderFor(library, source);
  EXPECT_EQ(ReadAll(take), first);
  EXPECT_EQ(ReadAll(folder / "Rec/orvane-2.mid"), first);
}

// The example's bass line and drums, rendered for 4 s at 44.1 kHz, where a
// tick (24 to a beat at 120 beats per minute) lasts 918.75 samples and a step
// 6 ticks: every drum note leaves on its step's sample, every note of the
// line sounds at its pitch, and the first swells through its envelope.
TEST(MidiFiles, StepBassPlaysItsStepsOnTheirSamplesAtTheirPitches) {
  constexpr double kBassRate = 44100;
  const auto step_sample = [](int32_t step) {
    return static_cast<int64_t>(std::floor(6 * step * 918.75));
  };
  testing::TempFolder folder;
  const std::string wav = folder / "bass.wav";
  const std::string mid = folder / "bass.mid";
  const std::string log = folder / "log.txt";
  ASSERT_EQ(std::system((std::string(std::getenv("OV_BUILD_DIR")) + "/orvane render " +
                         OV_EXAMPLES_DIR + "/step-bass.json --rate 44100 --seconds 4 --midi-out " +
                         mid + " -o " + wav + " >" + log + " 2>&1")
                            .c_str()),
            0)
      << ReadAll(log);
  EXPECT_EQ(ReadAll(log).find("is not available"), std::string::npos) << ReadAll(log);

  // The drums: kick on steps 0, 4, 8, 12, snare on 4 and 12, open hat on
  // 2, 6, 10 and 14; each note-off one tick after its note-on.
  std::vector<std::pair<int64_t, int>> expected;
  for (int32_t step = 0; step < 32; ++step) {
    const int32_t at = step % 16;
    if (at % 4 == 0) expected.emplace_back(step_sample(step), 35);
    if (at == 4 || at == 12) expected.emplace_back(step_sample(step), 38);
    if (at % 4 == 2) expected.emplace_back(step_sample(step), 46);
  }
  RenderSettings settings;
  settings.plugin_path = Bake(folder, "step-bass", "StepBass");
  settings.seconds = 4;
  settings.sample_rate = kBassRate;
  std::ostringstream render_log;
  std::string error;
  const std::optional<RenderResult> result = Render(settings, render_log, false, &error);
  ASSERT_TRUE(result) << error;
  std::vector<std::pair<int64_t, int>> sent;
  for (const ScheduledMidi& m : result->midi_output) {
    if ((m.bytes[0] & 0xF0) == 0x90) sent.emplace_back(m.frame, m.bytes[1]);
  }
  EXPECT_EQ(sent, expected);
  const MidiSong song = ReadSong(mid);
  ASSERT_EQ(song.events.size(), 2 * expected.size());
  for (std::size_t i = 0, on = 0; i < song.events.size(); ++i) {
    if ((song.events[i].bytes[0] & 0xF0) != 0x90) continue;
    EXPECT_NEAR(song.events[i].seconds * kBassRate, static_cast<double>(expected[on++].first),
                0.001 * kBassRate)
        << i;
  }

  // The line's pitch per step, from the rising zero crossings of the output
  // within the note (those of ringing near the peaks left out).
  std::string wav_error;
  const std::optional<AudioClip> clip = ReadWavFile(wav, &wav_error);
  ASSERT_TRUE(clip) << wav_error;
  const std::vector<float>& out = clip->channels[0];
  const int32_t notes[16] = {36, 36, -1, 48, 34, 36, -1, 39, 36, -1, 43, -1, 36, 48, 48, 34};
  for (int32_t step = 0; step < 16; ++step) {
    if (notes[step] < 0) continue;
    const auto from = static_cast<std::size_t>(step_sample(step) + 441);
    const auto to = static_cast<std::size_t>(step_sample(step) + 4590);
    float peak = 0;
    for (std::size_t i = from; i < to; ++i) peak = std::max(peak, std::fabs(out[i]));
    std::vector<std::size_t> rising;
    bool armed = false;
    for (std::size_t i = from; i < to; ++i) {
      armed = armed || out[i] < -0.3f * peak;
      if (armed && out[i - 1] < 0 && out[i] >= 0) {
        rising.push_back(i);
        armed = false;
      }
    }
    ASSERT_GE(rising.size(), 2u) << step;
    const double hertz = static_cast<double>(rising.size() - 1) * kBassRate /
                         static_cast<double>(rising.back() - rising.front());
    EXPECT_NEAR(hertz / (440.0 * std::exp2((notes[step] - 69) / 12.0)), 1.0, 0.005) << step;
  }
  // The first note rises from silence through the envelope's 0.1 s attack.
  const auto peak_near = [&](double seconds) {
    const auto centre = static_cast<std::size_t>(seconds * kBassRate);
    float peak = 0;
    for (std::size_t i = centre - 674; i < centre + 674; ++i)
      peak = std::max(peak, std::fabs(out[i]));
    return peak;
  };
  float before = 0;
  for (double seconds : {0.02, 0.04, 0.06, 0.08, 0.1}) {
    EXPECT_GT(peak_near(seconds), before * 1.1f) << seconds;
    before = peak_near(seconds);
  }
  float start = 0;
  for (std::size_t i = 0; i < 220; ++i) start = std::max(start, std::fabs(out[i]));
  EXPECT_LT(start, 0.01f * before);
}

}  // namespace
}  // namespace ov
