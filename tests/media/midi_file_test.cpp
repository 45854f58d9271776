#include "media/midi_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "platform/byte_order.h"
#include "tests/media/media_test_support.h"

namespace ov {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::WriteTempFile;

const Bytes kEndOfTrack = {0x00, 0xFF, 0x2F, 0x00};

Bytes Smf(uint16_t format, uint16_t division, const std::vector<Bytes>& tracks) {
  Bytes file = {'M', 'T', 'h', 'd'};
  AppendBe32(file, 6);
  AppendBe16(file, format);
  AppendBe16(file, static_cast<uint16_t>(tracks.size()));
  AppendBe16(file, division);
  for (const Bytes& track : tracks) {
    file.insert(file.end(), {'M', 'T', 'r', 'k'});
    AppendBe32(file, static_cast<uint32_t>(track.size()));
    file.insert(file.end(), track.begin(), track.end());
  }
  return file;
}

Bytes Join(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

MidiSong Read(const Bytes& file) {
  std::string error;
  std::optional<MidiSong> song = ReadMidiFile(WriteTempFile(".mid", file), &error);
  EXPECT_TRUE(song) << error;
  return song.value_or(MidiSong{});
}

std::string ReadError(const Bytes& file) {
  std::string error;
  const std::string path = WriteTempFile(".mid", file);
  EXPECT_FALSE(ReadMidiFile(path, &error));
  EXPECT_EQ(error.rfind(path + ": ", 0), 0u) << "the error must name the file: " << error;
  return error;
}

TEST(MidiFile, RunningStatusRepeatsTheLastChannelStatus) {
  // Note on, then two more note data pairs without status, then a program
  // change (one data byte) reused the same way.
  const MidiSong song =
      Read(Smf(0, 96,
               {Join({0x00, 0x91, 60, 100, 0x00, 62, 101, 0x60, 60, 0, 0x00, 0xC1, 5, 0x00, 6},
                     kEndOfTrack)}));
  ASSERT_EQ(song.events.size(), 5u);
  EXPECT_EQ(song.events[1].bytes[0], 0x91);
  EXPECT_EQ(song.events[1].bytes[1], 62);
  EXPECT_EQ(song.events[2].bytes[2], 0);
  EXPECT_EQ(song.events[2].tick, 96u);
  EXPECT_DOUBLE_EQ(song.events[2].seconds, 0.5);  // one quarter at the default 120 bpm
  EXPECT_EQ(song.events[4].size, 2);
  EXPECT_EQ(song.events[4].bytes[0], 0xC1);
  EXPECT_EQ(song.events[4].bytes[1], 6);
}

TEST(MidiFile, TempoChangeMidFileStretchesLaterEvents) {
  // 100 ticks per quarter: one quarter at 120 bpm (0.5 s), then 60 bpm.
  const Bytes track = Join({0x00, 0x90, 60,   100,                     // tick 0
                            0x64, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40,  // tick 100: 1,000,000 us
                            0x64, 0x80, 60,   0,                       // tick 200
                            0x81, 0x48, 0x90, 62,   90},               // tick 400 (two-byte delta)
                           kEndOfTrack);
  const MidiSong song = Read(Smf(0, 100, {track}));
  ASSERT_EQ(song.events.size(), 3u);
  EXPECT_DOUBLE_EQ(song.events[1].seconds, 1.5);
  EXPECT_DOUBLE_EQ(song.events[2].seconds, 3.5);
  EXPECT_DOUBLE_EQ(song.length_seconds, 3.5);
  ASSERT_EQ(song.tempo_map.size(), 1u);
  EXPECT_DOUBLE_EQ(song.tempo_map[0].seconds, 0.5);
  EXPECT_DOUBLE_EQ(song.FirstTempoBpm(), 60.0);
}

TEST(MidiFile, Format1MergesByTickThenTrackThenFileOrder) {
  // Enough events at equal ticks that an unstable sort would reorder them.
  const Bytes conductor = Join({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}, kEndOfTrack);  // 120 bpm
  std::vector<Bytes> tracks = {conductor};
  std::vector<std::pair<uint64_t, uint8_t>> expected;  // tick and key, in merged order
  for (uint8_t track = 1; track <= 3; ++track) {
    Bytes body;
    for (uint8_t i = 0; i < 12; ++i) {
      const uint8_t key = static_cast<uint8_t>(track * 20 + i);
      body.insert(body.end(), {static_cast<uint8_t>(i == 8 ? 10 : 0), 0x90, key, 1});
      expected.emplace_back(i < 8 ? 0 : 10, key);
    }
    tracks.push_back(Join(body, kEndOfTrack));
  }
  std::stable_sort(expected.begin(), expected.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  const MidiSong song = Read(Smf(1, 10, tracks));
  ASSERT_EQ(song.events.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(song.events[i].tick, expected[i].first) << "position " << i;
    EXPECT_EQ(song.events[i].bytes[1], expected[i].second) << "position " << i;
    EXPECT_EQ(song.events[i].track, expected[i].second / 20);
  }
  EXPECT_DOUBLE_EQ(song.events.back().seconds, 0.5);
}

TEST(MidiFile, SmpteDivisionCountsFramesNotBeats) {
  // 25 frames per second, 40 ticks per frame: 1000 ticks a second, whatever the tempo.
  const Bytes track =
      Join({0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40, 0x87, 0x68, 0x90, 60, 1}, kEndOfTrack);
  const MidiSong song = Read(Smf(0, 0xE728, {track}));
  ASSERT_EQ(song.events.size(), 1u);
  EXPECT_DOUBLE_EQ(song.events[0].seconds, 1.0);
}

TEST(MidiFile, SysexAndUnknownChunksAreSkipped) {
  Bytes file =
      Smf(0, 96, {Join({0x00, 0xF0, 0x03, 0x7E, 0x01, 0xF7, 0x00, 0x90, 60, 1}, kEndOfTrack)});
  const Bytes alien = {'X', 'F', 'I', 'H', 0, 0, 0, 2, 0xAA, 0xBB};
  file.insert(file.begin() + 14, alien.begin(), alien.end());
  const MidiSong song = Read(file);
  ASSERT_EQ(song.events.size(), 1u);
  EXPECT_EQ(song.events[0].bytes[1], 60);
}

TEST(MidiFile, MalformedFilesReportTheByteOffset) {
  // Track bodies start at byte 22.
  EXPECT_NE(
      ReadError(Smf(0, 96, {{0x00, 0x90, 60}})).find("at byte 25: track ends inside an event"),
      std::string::npos);
  EXPECT_NE(ReadError(Smf(0, 96, {{0x81, 0x82}})).find("at byte 24: track ends inside"),
            std::string::npos);
  EXPECT_NE(ReadError(Smf(0, 96, {{0x00, 0x90, 60, 1, 0x81, 0x82, 0x83, 0x84, 0x05}}))
                .find("at byte 26: variable-length quantity longer than 4 bytes"),
            std::string::npos);
  EXPECT_NE(ReadError(Smf(0, 96, {{0x00, 60, 1}}))
                .find("at byte 23: data byte 0x3C with no running status"),
            std::string::npos);
  EXPECT_NE(ReadError(Smf(0, 96, {{0x00, 0x90, 0x90, 1}})).find("at byte 24: status byte 0x90"),
            std::string::npos);
  EXPECT_NE(ReadError(Smf(0, 96, {{0x00, 0xF1, 1}})).find("unexpected status byte 0xF1"),
            std::string::npos);
  EXPECT_NE(
      ReadError(Smf(0, 96, {{0x00, 0xFF, 0x01, 0x7F, 'a'}})).find("at byte 26: event length 127"),
      std::string::npos);

  Bytes oversized = Smf(0, 96, {kEndOfTrack});
  oversized[21] = 0x40;  // track length 64 with 4 bytes present
  EXPECT_NE(ReadError(oversized).find("at byte 18: chunk length 64 exceeds the 4 bytes left"),
            std::string::npos);
  Bytes missing_track = Smf(1, 96, {kEndOfTrack});
  missing_track[11] = 2;
  EXPECT_NE(ReadError(missing_track).find("at byte 26: file ends after 1 of 2 tracks"),
            std::string::npos);
  EXPECT_NE(ReadError(Smf(2, 96, {kEndOfTrack}))
                .find("format 2 (independent sequences) is not supported"),
            std::string::npos);
  EXPECT_NE(ReadError(Smf(0, 0, {kEndOfTrack})).find("at byte 12: 0 ticks per quarter"),
            std::string::npos);
  EXPECT_NE(ReadError({'R', 'I', 'F', 'F'}).find("at byte 0: not a Standard MIDI File"),
            std::string::npos);
}

TEST(MidiFile, WrittenFormat0ReadsBack) {
  std::vector<MidiChannelEvent> events(3);
  events[0] = {0.25, 0, 0, {0x90, 60, 100}, 3};
  events[1] = {1.0, 0, 0, {0x80, 60, 0}, 3};
  events[2] = {0.5, 0, 0, {0xC3, 7, 0}, 2};  // out of order: the writer sorts
  const std::string path = testing::TempPath(".mid");
  std::string error;
  ASSERT_TRUE(WriteMidiFile(path, events, 90.0, &error)) << error;
  const std::optional<MidiSong> song = ReadMidiFile(path, &error);
  ASSERT_TRUE(song) << error;
  EXPECT_EQ(song->format, 0);
  EXPECT_NEAR(song->FirstTempoBpm(), 90.0, 1e-3);
  ASSERT_EQ(song->events.size(), 3u);
  EXPECT_NEAR(song->events[0].seconds, 0.25, 1e-3);
  EXPECT_NEAR(song->events[1].seconds, 0.5, 1e-3);
  EXPECT_EQ(song->events[1].bytes[0], 0xC3);
  EXPECT_EQ(song->events[1].size, 2);
  EXPECT_NEAR(song->events[2].seconds, 1.0, 1e-3);
}

TEST(MidiFile, DebianGameMusicParses) {
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/usr/share/planetblupi/music")) {
    if (entry.path().extension() != ".mid") continue;
    ++files;
    std::string error;
    const std::optional<MidiSong> song = ReadMidiFile(entry.path(), &error);
    ASSERT_TRUE(song) << error;
    EXPECT_EQ(song->format, 1) << entry.path();
    EXPECT_GT(song->events.size(), 100u) << entry.path();
    for (std::size_t i = 1; i < song->events.size(); ++i) {
      ASSERT_LE(song->events[i - 1].seconds, song->events[i].seconds) << entry.path();
    }
    EXPECT_GE(song->length_seconds, song->events.back().seconds);
  }
  EXPECT_GE(files, 10);
}

}  // namespace
}  // namespace ov
