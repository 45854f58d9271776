// The MIDI recorder's file, byte by byte: header, millisecond deltas, the
// messages it keeps and how it writes them; and takes that never replace.
#include "media/midi_recorder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "engine/audio_master.h"
#include "media/midi_file.h"
#include "tests/media/wave_test_support.h"
#include "tests/modules/module_rig.h"

namespace ov {
namespace {

using testing::FolderFiles;
using testing::MessageBoxes;

std::vector<uint8_t> Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t Word(uint8_t status, uint8_t first, uint8_t second = 0) {
  return status | (uint32_t{first} << 8) | (uint32_t{second} << 16);
}

struct RecorderRig : test::ModuleRig {
  explicit RecorderRig(const std::string& folder) : files(folder), boxes(master) {
    host.files = &files;
  }
  ug_midi_recorder& Recorder(const char* channel = "-1") {
    recorder = &Add(std::make_unique<ug_midi_recorder>());
    Set(*recorder, ug_midi_recorder::kFileName, "take");
    Set(*recorder, ug_midi_recorder::kChannel, channel);
    midi = &Feed(*recorder->plug(ug_midi_recorder::kMidiIn), 30);
    return *recorder;
  }
  void Send(uint32_t time, uint32_t word) { midi->SendMidi(*midi->plug(0), time, word); }
  // Runs until `sample`, then stops the engine, which completes the take.
  void RunAndStop(int64_t sample) {
    while (static_cast<int64_t>(cells) * kCell < sample) Step();
    master.Stop();
  }

  FolderFiles files;
  MessageBoxes boxes;
  ug_midi_recorder* recorder = nullptr;
  test::Source* midi = nullptr;
};

const std::vector<uint8_t> kHeader = {'M', 'T', 'h', 'd', 0, 0, 0, 8, 0, 0, 0, 1,
                                      0xE7, 0x28, 0, 0, 'M', 'T', 'r', 'k'};

std::vector<uint8_t> Take(std::vector<uint8_t> events) {
  std::vector<uint8_t> file = kHeader;
  events.insert(events.end(), {0x00, 0xFF, 0x2F, 0x00});
  AppendBe32(file, static_cast<uint32_t>(events.size()));
  file.insert(file.end(), events.begin(), events.end());
  return file;
}

TEST(MidiRecorder, WritesChannelMessagesOnChannelOneWithMillisecondDeltas) {
  RecorderRig rig(testing::TestFolder());
  rig.Recorder();
  rig.Start();
  EXPECT_EQ(Bytes(rig.recorder->Path()), Take({}));  // valid while it records
  rig.Send(88200, Word(0x95, 60, 0));                // note-on, velocity 0, channel 5
  rig.Send(88200, 0xF8);                             // system messages are not kept
  rig.Send(88641, Word(0xC5, 7, 99));                // one data byte
  rig.Send(88641, Word(0xD1, 0xFF, 0xFF));           // data bytes keep 7 bits
  rig.Send(88700, Word(0xE3, 1, 64));
  rig.RunAndStop(44100 * 3);
  EXPECT_EQ(rig.recorder->Path(), rig.files.LibraryFolder() + "take.mid");
  // 2 s is 2000 ms: 0x8F 0x50; 441 samples later is 10 ms; 59 more are 1 ms.
  EXPECT_EQ(Bytes(rig.recorder->Path()), Take({0x8F, 0x50, 0x80, 60, 0, 0x0A, 0xC0, 7, 0x00,
                                               0xD0, 0x7F, 0x01, 0xE0, 1, 64}));
  std::string error;
  const std::optional<MidiSong> song = ReadMidiFile(rig.recorder->Path(), &error);
  ASSERT_TRUE(song) << error;
  ASSERT_EQ(song->events.size(), 4u);
  EXPECT_DOUBLE_EQ(song->events[0].seconds, 2.0);
  EXPECT_DOUBLE_EQ(song->events[3].seconds, 2.011);
  EXPECT_TRUE(rig.boxes.Texts().empty());
}

TEST(MidiRecorder, ChannelFilterAndTakesThatNeverReplaceAFile) {
  const std::string folder = testing::TestFolder();
  {
    RecorderRig rig(folder);
    rig.Recorder("4");  // the fifth channel
    rig.Start();
    rig.Send(0, Word(0x90, 1, 1));
    rig.Send(0, Word(0x94, 2, 2));
    rig.RunAndStop(1000);
    EXPECT_EQ(Bytes(folder + "take.mid"), Take({0x00, 0x90, 2, 2}));
  }
  RecorderRig again(folder);
  again.Recorder();
  again.Start();
  again.Send(10, Word(0x90, 3, 3));
  again.RunAndStop(1000);
  EXPECT_EQ(again.recorder->Path(), folder + "take-2.mid");
  EXPECT_EQ(Bytes(folder + "take.mid"), Take({0x00, 0x90, 2, 2}));
  EXPECT_EQ(Bytes(folder + "take-2.mid"), Take({0x00, 0x90, 3, 3}));
  EXPECT_EQ(again.boxes.Texts(),
            std::vector<std::string>{folder + "take.mid exists: recording to " + folder +
                                     "take-2.mid"});

  // A name outside the library folder is refused, and the engine asked to stop.
  RecorderRig outside(folder);
  auto& recorder = outside.Recorder();
  outside.Set(recorder, ug_midi_recorder::kFileName, "../escape");
  outside.Start();
  outside.Send(10, Word(0x90, 3, 3));
  outside.Step();
  ASSERT_EQ(outside.boxes.Texts().size(), 1u);
  EXPECT_TRUE(outside.boxes.Texts()[0].starts_with("File open error : ")) << outside.boxes.Texts()[0];
  EXPECT_TRUE(outside.master.StopRequested());
}

}  // namespace
}  // namespace ov
