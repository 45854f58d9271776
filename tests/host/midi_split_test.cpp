// The keyboard-split example rendered through the plug-in: each half of the
// keyboard plays its own waveform, the upper half's gate goes back to the
// host as notes at the samples where it rises and falls, and every module of
// the example is built.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "media/midi_file.h"
#include "media/wav_file.h"
#include "tests/host/plugin_test_support.h"
#include "tests/host/temp_folder.h"
#include "tests/modules/dsp_measure.h"
#include "tools/project_commands.h"

namespace ov {
namespace {

using testing::BuildDir;
using testing::RunProgram;
using testing::TempFolder;

constexpr double kRate = 44100;

class MidiSplit : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ostringstream out, err;
    ASSERT_EQ(RunBakeCommand({std::string(OV_EXAMPLES_DIR) + "/midi-split.json", library_,
                              BuildDir() + "/orvane-vst.so"},
                             out, err),
              0)
        << err.str();
  }
  std::string Render(const std::string& options) {
    std::string log;
    EXPECT_EQ(RunProgram(BuildDir() + "/orvane render " + library_ + " -o " +
                             (folder_ / "out.wav") + " --rate 44100 --block 512 " + options,
                         &log),
              0)
        << log;
    return log;
  }

  TempFolder folder_;
  const std::string library_ = folder_ / "split.so";
};

// The amplitude near `hz` in samples [from, to) seconds, relative to the
// window's strongest component.
struct Window {
  Window(const std::vector<float>& signal, double from, double to) {
    std::size_t size = 1;
    while (size * 2 <= (to - from) * kRate) size *= 2;
    const auto first = static_cast<std::size_t>(from * kRate);
    spectrum_ = test::HannAmplitudeSpectrum(
        std::vector<double>(signal.begin() + first, signal.begin() + first + size));
    size_ = size;
    peak_ = *std::max_element(spectrum_.begin(), spectrum_.end());
  }
  double At(double hz) const {
    const auto bin = static_cast<std::size_t>(std::lround(hz * static_cast<double>(size_) / kRate));
    return std::max({spectrum_[bin - 1], spectrum_[bin], spectrum_[bin + 1]}) / peak_;
  }
  std::vector<double> spectrum_;
  std::size_t size_ = 0;
  double peak_ = 0;
};

TEST_F(MidiSplit, EachHalfPlaysItsWaveAndTheUpperGateReturnsAsNotes) {
  const std::string midi_out = folder_ / "out.mid";
  const std::string log =
      Render("--seconds 1 --note 55:100:0.1:0.5 --note 67:100:0.2:0.5 --midi-out " + midi_out);
  EXPECT_EQ(log.find("is not available in this build"), std::string::npos) << log;
  std::string error;
  const std::optional<AudioClip> clip = ReadWavFile(folder_ / "out.wav", &error);
  ASSERT_TRUE(clip.has_value()) << error;
  ASSERT_EQ(clip->channels.size(), 1u);
  const std::vector<float>& left = clip->channels[0];

  // Key 55 alone: a square at 196 Hz (odd harmonics only).
  const Window square(left, 0.11, 0.2);
  EXPECT_EQ(square.At(196), 1.0);
  EXPECT_GT(square.At(3 * 196), 0.2);
  EXPECT_LT(square.At(2 * 196), 0.05);
  // Key 67 alone, after key 55 ended: a saw at 392 Hz (every harmonic).
  const Window saw(left, 0.61, 0.7);
  EXPECT_EQ(saw.At(392), 1.0);
  EXPECT_GT(saw.At(2 * 392), 0.3);
  EXPECT_LT(saw.At(196), 0.05);
  // Both together.
  const Window both(left, 0.25, 0.55);
  EXPECT_GT(both.At(196), 0.5);
  EXPECT_GT(both.At(392), 0.5);

  // Only the upper half's note comes back: on where its gate rises (three
  // samples after the note), off where it falls.
  const std::optional<MidiSong> song = ReadMidiFile(midi_out, &error);
  ASSERT_TRUE(song.has_value()) << error;
  ASSERT_EQ(song->events.size(), 2u);
  const MidiChannelEvent& on = song->events[0];
  const MidiChannelEvent& off = song->events[1];
  EXPECT_EQ(std::vector<int>(on.bytes, on.bytes + 3), (std::vector<int>{0x90, 67, 63}));
  EXPECT_EQ(std::vector<int>(off.bytes, off.bytes + 3), (std::vector<int>{0x80, 67, 64}));
  // The file keeps times in ticks: within half a tick of those samples.
  ASSERT_GT(off.tick, 0u);
  const double half_tick = off.seconds / static_cast<double>(off.tick) / 2 + 1e-9;
  EXPECT_NEAR(on.seconds, (0.2 * kRate + 3) / kRate, half_tick);
  EXPECT_NEAR(off.seconds, 0.7, half_tick);
}

// The notes that go back follow the upper half's one voice: a releasing
// voice summed into its pitch would send the next note an octave or more too
// high.
TEST_F(MidiSplit, NotesInTurnComeBackAtTheirOwnKeys) {
  const std::string midi_out = folder_ / "turns.mid";
  Render("--seconds 1.5 --note 67:100:0.1:0.3 --note 69:100:0.5:0.3 --note 72:100:0.9:0.3 "
         "--note 55:100:0.1:1.2 --midi-out " + midi_out);
  std::string error;
  const std::optional<MidiSong> song = ReadMidiFile(midi_out, &error);
  ASSERT_TRUE(song.has_value()) << error;
  std::vector<int> keys;
  for (const MidiChannelEvent& event : song->events) keys.push_back(event.bytes[1]);
  EXPECT_EQ(keys, (std::vector<int>{67, 67, 69, 69, 72, 72}));
}

TEST_F(MidiSplit, TheDemoSongRendersWithEveryModuleBuilt) {
  const std::string log = Render("--midi " + std::string(OV_EXAMPLES_DIR) +
                                 "/demo.mid --midi-out " + (folder_ / "demo.mid"));
  EXPECT_EQ(log.find("is not available in this build"), std::string::npos) << log;
}

}  // namespace
}  // namespace ov
