// The MIDI player and recorder baked into plug-ins and rendered, on real
// songs: what the player sends is the song, to the sample; what the recorder
// keeps is what it was sent, to the millisecond.
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
  ASSERT_EQ(std::system(Orvane("render " + library + " --seconds 20 --midi-out " + played +
                               " -o " + (folder / "silence.wav"))
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

}  // namespace
}  // namespace ov
