// The MIDI file player: when each message leaves (clock, events, start and
// stop at the samples the tempo gives), how tracks are read (running status,
// loops, the end), and what broken files do.
#include "media/midi_player.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/media/smf_builder.h"
#include "tests/media/wave_test_support.h"
#include "tests/modules/module_rig.h"

namespace ov {
namespace {

using testing::FolderFiles;
using testing::MessageBoxes;
using testing::SmfBuilder;
using testing::TrackBuilder;
using Midi = test::Probe::Midi;

constexpr uint32_t kClock = 0xF8, kStart = 0xFA, kStop = 0xFC;

uint32_t Word(uint8_t status, uint8_t first, uint8_t second = 0) {
  return status | (uint32_t{first} << 8) | (uint32_t{second} << 16);
}

struct PlayerRig : test::ModuleRig {
  PlayerRig() : files(testing::TestFolder()), boxes(master) { host.files = &files; }

  ug_midi_player& Player(const std::vector<uint8_t>& song, const char* loop = "0",
                         const char* ignore_tempo = "0", const char* tempo = "12") {
    files.Put("song.mid", song);
    auto& player = Add(std::make_unique<ug_midi_player>());
    Set(player, ug_midi_player::kFileName, "song");
    Set(player, ug_midi_player::kTempo, tempo);
    Set(player, ug_midi_player::kLoop, loop);
    Set(player, ug_midi_player::kIgnoreTempo, ignore_tempo);
    probe = &Add(std::make_unique<test::Probe>(DT_MIDI, 1), 0);
    top.connect(player.plug(ug_midi_player::kMidiOut), probe->plug(0));
    return player;
  }
  void RunUntil(int64_t sample) {
    while (static_cast<int64_t>(cells) * kCell < sample) Step();
  }

  FolderFiles files;
  MessageBoxes boxes;
  test::Probe* probe = nullptr;
};

// The sequencer alone, collecting what it sends until it ends.
struct Collected : MidiSequence::Output {
  void SendMidi(uint32_t word) override { words.push_back(word); }
  // Calls the scheduler until the song ends or `calls` have been made.
  int RunToEnd(MidiSequence& sequence, int calls = 100000) {
    for (int call = 1; call <= calls; ++call) {
      if (!sequence.Run(*this)) return call;
    }
    return calls;
  }
  std::vector<uint32_t> words;
};

std::vector<uint32_t> Without(std::vector<uint32_t> words, uint32_t dropped) {
  std::erase(words, dropped);
  return words;
}

TEST(MidiPlayer, MessagesLeaveAtTheSamplesTheCarriedFractionGives) {
  PlayerRig rig;
  // Division 96, no tempo event: "Tempo" 12 V is 120 bpm.
  const auto song = SmfBuilder{}
                        .Track(TrackBuilder{}
                                   .At(0, {0x90, 60, 100})
                                   .At(10, {60, 0})  // running status
                                   .At(86, {0xC0, 5})
                                   .End())
                        .Bytes();
  ug_midi_player& player = rig.Player(song);
  rig.Start();
  EXPECT_EQ(player.Sequence().SamplesPerTick(), 229.6875);
  EXPECT_EQ(player.Sequence().ClockInterval(), 4u);
  rig.RunUntil(44100 * 2);

  const auto at = [](uint64_t tick) { return static_cast<uint32_t>(std::floor(tick * 229.6875)); };
  std::vector<Midi> expected = {{0, kClock}, {0, Word(0x90, 60, 100)}, {0, kStart}};
  for (uint64_t tick = 4; tick <= 96; tick += 4) {
    if (tick == 12) expected.push_back({at(10), Word(0x90, 60, 0)});
    expected.push_back({at(tick), kClock});
  }
  // The program change has one data byte; the song ends with its last event.
  expected.push_back({at(96), Word(0xC0, 5)});
  expected.push_back({at(96), kStop});
  EXPECT_EQ(rig.probe->midi, expected);
  EXPECT_EQ(at(96), 22050u);
  // Stop once, then silence; the standalone engine is asked to stop half a
  // second later.
  EXPECT_TRUE(rig.master.StopRequested());
  EXPECT_TRUE(rig.boxes.Texts().empty());
}

TEST(MidiPlayer, TempoEventsSetTheRateUnlessIgnored) {
  const auto with_tempo = [](uint32_t microseconds) {
    return SmfBuilder{}
        .Track(TrackBuilder{}.At(0, testing::TempoEvent(microseconds)).At(3840, {0x90, 1, 1}).End())
        .Bytes();
  };
  const auto bpm_after_start = [](const std::vector<uint8_t>& song, const char* ignore) {
    PlayerRig rig;
    ug_midi_player& player = rig.Player(song, "0", ignore, "10");  // 100 bpm
    rig.Start();
    rig.Step();
    return player.Sequence().Bpm();
  };
  EXPECT_EQ(bpm_after_start(with_tempo(500000), "0"), 120.0);
  EXPECT_EQ(bpm_after_start(with_tempo(6000000), "0"), 10.0);  // the lower clamp
  EXPECT_EQ(bpm_after_start(with_tempo(500000), "1"), 100.0);
  // Broken tempo events are ignored: 0, and shorter than 3 bytes.
  EXPECT_EQ(bpm_after_start(with_tempo(0), "0"), 100.0);
  const auto short_tempo =
      SmfBuilder{}.Track(TrackBuilder{}.At(0, {0xFF, 0x51, 0x02, 0x07, 0xA1}).End()).Bytes();
  EXPECT_EQ(bpm_after_start(short_tempo, "0"), 100.0);

  // 465172 µs is 128.98 bpm, not 128: forty quarter notes take 18.607 s.
  PlayerRig rig;
  rig.Player(with_tempo(465172));
  rig.Start();
  rig.RunUntil(44100 * 19);
  ASSERT_GE(rig.probe->midi.size(), 2u);
  const Midi note = rig.probe->midi[rig.probe->midi.size() - 2];
  EXPECT_EQ(note.message, Word(0x90, 1, 1));
  EXPECT_NEAR(note.clock, 40 * 0.465172 * 44100, 1.0);
}

TEST(MidiPlayer, RunningStatusBelongsToEachTrack) {
  PlayerRig rig;
  const auto song = SmfBuilder{}
                        .Track(TrackBuilder{}.At(0, {0x90, 60, 100}).At(0, {62, 100}).End(4))
                        // A data byte where the track has no status yet is skipped,
                        // not played with the other track's.
                        .Track(TrackBuilder{}
                                   .At(0, {64})
                                   .At(0, {0x91, 64, 100})
                                   .At(0, {0xC1, 7})
                                   .At(0, {8})
                                   .At(0, {0xF0, 0x02, 0x11, 0xF7})  // skipped, ends running status
                                   .At(0, {9})
                                   .End())
                        .Bytes();
  rig.Player(song);
  rig.Start();
  rig.RunUntil(2000);
  std::vector<uint32_t> words;
  for (const Midi& m : rig.probe->midi) words.push_back(m.message);
  EXPECT_EQ(words, (std::vector<uint32_t>{kClock, Word(0x90, 60, 100), Word(0x90, 62, 100),
                                           Word(0x91, 64, 100), Word(0xC1, 7), Word(0xC1, 8),
                                           kStart, kClock, kStop}));
}

TEST(MidiPlayer, TimeCodeDivisionIsReadAsTicksAndSmallOnesStillClock) {
  MidiSequence sequence;
  SmfBuilder song;
  song.division = 0xE728;
  song.Track(TrackBuilder{}.At(0, {0x90, 1, 1}).End());
  ASSERT_TRUE(sequence.Load(song.Bytes()));
  EXPECT_EQ(sequence.TicksPerQuarter(), 59176u);
  EXPECT_EQ(sequence.ClockInterval(), 2465u);

  // Below 24 ticks per quarter the clock still moves on every tick.
  song.division = 12;
  song.chunks = {{"MTrk", TrackBuilder{}.At(0, {0x90, 1, 1}).End(12)}};
  ASSERT_TRUE(sequence.Load(song.Bytes()));
  EXPECT_EQ(sequence.ClockInterval(), 1u);
  Collected sent;
  EXPECT_EQ(sent.RunToEnd(sequence), 13);
  EXPECT_EQ(std::count(sent.words.begin(), sent.words.end(), kClock), 13);
}

TEST(MidiPlayer, LoopModeRestartsAtTheEndWithoutAnotherStart) {
  PlayerRig rig;
  // The track's end lies 4 ticks after its last note: the loop is 12 ticks.
  const auto song =
      SmfBuilder{}.Track(TrackBuilder{}.At(0, {0x90, 60, 100}).At(8, {0x80, 60, 0}).End(4)).Bytes();
  rig.Player(song, "1");
  rig.Start();
  rig.RunUntil(44100);
  std::vector<uint32_t> words;
  std::vector<uint32_t> note_times;
  for (const Midi& m : rig.probe->midi) {
    words.push_back(m.message);
    if (m.message == Word(0x90, 60, 100)) note_times.push_back(m.clock);
  }
  EXPECT_EQ(std::count(words.begin(), words.end(), kStart), 1);
  EXPECT_EQ(std::count(words.begin(), words.end(), kStop), 0);
  ASSERT_GE(note_times.size(), 10u);
  // Each loop lasts 12 ticks, and one clock comes every 4 of them.
  for (std::size_t i = 0; i < note_times.size(); ++i) {
    EXPECT_EQ(note_times[i], static_cast<uint32_t>(std::floor(i * 12 * 229.6875))) << i;
  }
  std::vector<uint32_t> clock_times;
  for (const Midi& m : rig.probe->midi) {
    if (m.message == kClock) clock_times.push_back(m.clock);
  }
  for (std::size_t i = 0; i < clock_times.size(); ++i) {
    ASSERT_EQ(clock_times[i], static_cast<uint32_t>(std::floor(i * 4 * 229.6875))) << i;
  }
  EXPECT_FALSE(rig.master.StopRequested());
}

TEST(MidiPlayer, BrokenFilesEndTracksInsideTheirBounds) {
  const std::vector<uint8_t> note = {0x90, 1, 1};
  // Fewer tracks than declared, a foreign chunk in between, a chunk longer
  // than the file: the tracks there play, the missing ones are silent.
  SmfBuilder short_of_tracks;
  short_of_tracks.declared_tracks = 4;
  short_of_tracks.Track(TrackBuilder{}.At(0, note).End())
      .Chunk("XFIH", {1, 2, 3})
      .Track(TrackBuilder{}.At(5, {0x91, 2, 2}).End());
  std::vector<uint8_t> bytes = short_of_tracks.Bytes();
  bytes.insert(bytes.end(), {'M', 'T', 'r', 'k', 0x7F, 0xFF, 0xFF, 0xFF, 0x00, 0x92, 3, 3});
  MidiSequence sequence;
  ASSERT_TRUE(sequence.Load(bytes));
  EXPECT_EQ(sequence.DeclaredTracks(), 4);
  EXPECT_EQ(sequence.Tracks(), 3u);
  EXPECT_TRUE(sequence.SkippedUnknownChunk());
  Collected sent;
  sent.RunToEnd(sequence);
  EXPECT_EQ(Without(sent.words, kClock),
            (std::vector<uint32_t>{Word(0x90, 1, 1), Word(0x92, 3, 3), kStart, Word(0x91, 2, 2),
                                   kStop}));

  // Quantities over 4 bytes, and lengths or messages past the track's end,
  // end the track there.
  for (const std::vector<uint8_t>& broken : std::vector<std::vector<uint8_t>>{
           {0x00, 0x90, 1, 1, 0x80, 0x80, 0x80, 0x80, 0x00, 0x90, 2, 2},
           {0x00, 0x90, 1, 1, 0x00, 0xF0, 0x7F, 0x01},
           {0x00, 0x90, 1, 1, 0x00, 0xFF, 0x01, 0x20, 0x00},
           {0x00, 0x90, 1, 1, 0x00, 0x90, 2},
           {0x00, 0x90, 1, 1, 0x00, 0xFF}}) {
    ASSERT_TRUE(sequence.Load(SmfBuilder{}.Track(broken).Bytes()));
    Collected played;
    EXPECT_EQ(played.RunToEnd(sequence), 1);
    EXPECT_EQ(played.words, (std::vector<uint32_t>{kClock, Word(0x90, 1, 1), kStart, kStop}));
  }

  // No ticks per quarter note, or no header: not a Standard MIDI File.
  SmfBuilder no_division;
  no_division.division = 0;
  EXPECT_FALSE(sequence.Load(no_division.Track({0x00, 0xFF, 0x2F, 0x00}).Bytes()));
  EXPECT_FALSE(sequence.Load({'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1}));
  EXPECT_FALSE(sequence.Load(std::vector<uint8_t>(20, 'x')));
}

TEST(MidiPlayer, TellsWhatIsWrongWithItsFile) {
  {
    PlayerRig rig;
    auto& player = rig.Add(std::make_unique<ug_midi_player>());
    rig.Set(player, ug_midi_player::kFileName, "absent");
    rig.Start();
    rig.Step();
    EXPECT_EQ(rig.boxes.Texts(),
              std::vector<std::string>{
                  "Cannot Find/Load this file.  Check your Audio Preferences MIDI path setting: "
                  "absent"});
    EXPECT_FALSE(rig.master.StopRequested());
  }
  {
    PlayerRig rig;
    SmfBuilder no_division;
    no_division.division = 0;
    rig.Player(no_division.Bytes());
    rig.Start();
    rig.Step();
    EXPECT_EQ(rig.boxes.Texts(), std::vector<std::string>{"This is NOT a Standard MIDI File"});
    EXPECT_TRUE(rig.master.StopRequested());
    EXPECT_TRUE(rig.probe->midi.empty());
  }
  {
    // One notice for a file, however many foreign chunks it has.
    PlayerRig rig;
    SmfBuilder song;
    song.declared_tracks = 1;
    for (int i = 0; i < 50; ++i) song.Chunk("junk", {});
    rig.Player(song.Track(TrackBuilder{}.End()).Bytes());
    rig.Start();
    rig.Step();
    EXPECT_EQ(rig.boxes.Texts(),
              std::vector<std::string>{"We've hit (and skipped over) an UNKNOWN CHUNK\n"});
  }
}

}  // namespace
}  // namespace ov
