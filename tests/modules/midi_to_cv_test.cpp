// MIDI-to-CV: notes become gate, pitch and velocity with the documented
// voltages and timing, under every mono priority, the channel filter, the
// sustain pedal and pitch bend.
#include "modules/midi_to_cv.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/modules/module_rig.h"
#include "tests/modules/poly_project.h"

namespace ov::test {
namespace {

using Cv = ug_midi_to_cv;

uint32_t NoteOn(int key, int velocity, int channel = 0) {
  return static_cast<uint32_t>(0x90 | channel) | static_cast<uint32_t>(key) << 8 |
         static_cast<uint32_t>(velocity) << 16;
}
uint32_t NoteOff(int key, int channel = 0) {
  return static_cast<uint32_t>(0x80 | channel) | static_cast<uint32_t>(key) << 8;
}
uint32_t Controller(int number, int value, int channel = 0) {
  return static_cast<uint32_t>(0xB0 | channel) | static_cast<uint32_t>(number) << 8 |
         static_cast<uint32_t>(value) << 16;
}

// A MIDI-to-CV alone in a container, fed by a MIDI source the test drives
// (which runs first).
struct CvRig : ModuleRig {
  CvRig() {
    cv = &AddRaw(std::make_unique<Cv>(), 10);
    midi = &Feed(*cv->plug(Cv::kMidiInPlug), 30);
  }

  void Set(int32_t plug, const char* text) { ModuleRig::Set(*cv, plug, text); }
  void Send(uint32_t time, uint32_t word) { midi->SendMidi(*midi->plug(0), time, word); }
  // Runs whole cells, keeping every sample of the outputs.
  void Render(int32_t samples) {
    const auto recorded =
        Record({cv->plug(Cv::kPitch), cv->plug(Cv::kGate), cv->plug(Cv::kVelocity)}, samples);
    for (auto [kept, r] : {std::pair{&pitch, 0}, {&gate, 1}, {&velocity, 2}}) {
      kept->insert(kept->end(), recorded[r].begin(), recorded[r].end());
    }
  }

  Cv* cv = nullptr;
  Source* midi = nullptr;
  std::vector<float> pitch, gate, velocity;
};

class MidiToCvTest : public ::testing::Test, public CvRig {};

TEST_F(MidiToCvTest, KeysAndVelocityBecomeVoltagesWithTheGateRisingThreeSamplesLater) {
  Start();
  Send(10, NoteOn(69, 127));
  Send(300, NoteOn(81, 64));
  Send(600, NoteOff(81));
  Render(1024);
  EXPECT_EQ(pitch[9], 0.0f);
  EXPECT_EQ(pitch[10], 0.5f);  // 5 V
  EXPECT_EQ(velocity[10], 1.0f);
  EXPECT_EQ(gate[12], 0.0f);
  EXPECT_EQ(gate[13], 1.0f);
  EXPECT_FLOAT_EQ(pitch[300], 0.6f);  // an octave up: 6 V
  EXPECT_FLOAT_EQ(velocity[300], 64.0f / 127.0f);
  // The new note on the only voice drops the gate for three samples.
  EXPECT_EQ(gate[300], 0.0f);
  EXPECT_EQ(gate[302], 0.0f);
  EXPECT_EQ(gate[303], 1.0f);
  EXPECT_EQ(gate[599], 1.0f);
  EXPECT_EQ(gate[600], 0.0f);
  EXPECT_EQ(gate[1023], 0.0f);
  EXPECT_FLOAT_EQ(pitch[1023], 0.6f);  // pitch holds after the release
}

TEST_F(MidiToCvTest, VelocityZeroIsANoteOffAndControllersReleaseEverything) {
  Start();
  Send(10, NoteOn(60, 100));
  Send(200, NoteOn(60, 0));
  Send(400, NoteOn(62, 100));
  Send(600, Controller(123, 0));
  Render(768);
  EXPECT_EQ(gate[199], 1.0f);
  EXPECT_EQ(gate[200], 0.0f);
  EXPECT_EQ(gate[599], 1.0f);
  EXPECT_EQ(gate[600], 0.0f);
}

TEST_F(MidiToCvTest, FullBendUpGlidesATenthUpOverASixtiethOfASecond) {
  Set(Cv::kBendRange, "12");
  Start();
  Send(10, NoteOn(69, 100));
  Send(100, 0x7F7FE0);  // bend fully up
  Render(1024);
  const float top = 0.5f + 12.0f * (8191.0f / 8192.0f) / 120.0f;
  const int32_t glide = static_cast<int32_t>(44100.0f * 0.016666668f);  // 735 samples
  EXPECT_EQ(pitch[99], 0.5f);
  EXPECT_GT(pitch[100], 0.5f);
  for (int32_t i = 101; i < 100 + glide; ++i) ASSERT_GE(pitch[i], pitch[i - 1]) << i;
  EXPECT_LT(pitch[100 + glide / 2], top);
  EXPECT_FLOAT_EQ(pitch[100 + glide], top);
  EXPECT_EQ(pitch[1023], pitch[100 + glide]);
}

TEST_F(MidiToCvTest, MonoLowPriorityPlaysTheLowestKeyHeld) {
  Set(Cv::kMonoMode, "1");
  Set(Cv::kMonoNotePriority, "1");
  Start();
  Send(10, NoteOn(60, 100));
  Send(100, NoteOn(64, 100));
  Send(300, NoteOff(60));
  Send(500, NoteOff(64));
  Render(768);
  EXPECT_FLOAT_EQ(pitch[299], Cv::KeyPitch(60));
  EXPECT_FLOAT_EQ(pitch[300], Cv::KeyPitch(64));
  EXPECT_EQ(gate[499], 1.0f);
  EXPECT_EQ(gate[500], 0.0f);
}

TEST_F(MidiToCvTest, MonoHighPriorityFallsBackToALowerKeyHeld) {
  Set(Cv::kMonoMode, "1");
  Set(Cv::kMonoNotePriority, "2");
  Start();
  Send(10, NoteOn(64, 100));
  Send(100, NoteOn(60, 100));
  Send(300, NoteOff(64));
  Render(512);
  EXPECT_FLOAT_EQ(pitch[299], Cv::KeyPitch(64));
  EXPECT_FLOAT_EQ(pitch[300], Cv::KeyPitch(60));
  EXPECT_EQ(gate[511], 1.0f);
}

TEST_F(MidiToCvTest, MonoLastPriorityReturnsThroughTheKeysStillHeld) {
  Set(Cv::kMonoMode, "1");
  Start();  // priority Last is the default
  Send(10, NoteOn(60, 100));
  Send(50, NoteOn(64, 100));
  Send(90, NoteOn(67, 100));
  Send(200, NoteOff(67));
  Send(400, NoteOff(64));
  Send(600, NoteOff(60));
  Render(768);
  EXPECT_FLOAT_EQ(pitch[199], Cv::KeyPitch(67));
  EXPECT_FLOAT_EQ(pitch[200], Cv::KeyPitch(64));
  EXPECT_FLOAT_EQ(pitch[400], Cv::KeyPitch(60));
  EXPECT_EQ(gate[599], 1.0f);
  EXPECT_EQ(gate[600], 0.0f);
}

TEST_F(MidiToCvTest, MonoLegatoDropsTheGateOnlyWithRetrigger) {
  for (const char* retrigger : {"0", "1"}) {
    SCOPED_TRACE(retrigger);
    CvRig rig;
    rig.Set(Cv::kMonoMode, "1");
    rig.Set(Cv::kRetrigger, retrigger);
    rig.Start();
    rig.Send(10, NoteOn(60, 100));
    rig.Send(200, NoteOn(62, 100));
    rig.Render(512);
    const bool drops = retrigger[0] == '1';
    EXPECT_EQ(rig.gate[200], drops ? 0.0f : 1.0f);
    EXPECT_EQ(rig.gate[202], drops ? 0.0f : 1.0f);
    EXPECT_EQ(rig.gate[203], 1.0f);
    EXPECT_FLOAT_EQ(rig.pitch[200], Cv::KeyPitch(62));
  }
}

TEST_F(MidiToCvTest, PortamentoGlidesLegatoNotesAndZeroJumps) {
  Set(Cv::kMonoMode, "1");
  Source& portamento = Feed(*cv->plug(Cv::kPortamentoTime));
  Start();
  std::fill_n(portamento.out, kCell, 0.5f);  // 5 V: about 79 ms
  Send(10, NoteOn(60, 100));
  Send(100, NoteOn(72, 100));
  Render(8192);
  const double glide = Cv::GlideSamples(0.5f, 44100.0f);
  EXPECT_NEAR(glide, 0.0787 * 44100, 10);
  EXPECT_FLOAT_EQ(pitch[99], Cv::KeyPitch(60));  // the first note does not glide
  const int32_t middle = 100 + static_cast<int32_t>(glide / 2);
  EXPECT_NEAR(pitch[middle], (Cv::KeyPitch(60) + Cv::KeyPitch(72)) / 2, 0.002);
  EXPECT_FLOAT_EQ(pitch[100 + static_cast<int32_t>(glide) + 2], Cv::KeyPitch(72));
  EXPECT_EQ(pitch[8191], pitch[100 + static_cast<int32_t>(glide) + 2]);
}

TEST_F(MidiToCvTest, ChannelFilterTakesOneChannelOrAll) {
  Set(ug_notesource::kChannelPlug, "1");  // MIDI channel 2
  Start();
  Send(10, NoteOn(60, 100, 0));
  Send(200, NoteOn(64, 100, 1));
  Render(512);
  EXPECT_EQ(gate[150], 0.0f);
  EXPECT_FLOAT_EQ(pitch[300], Cv::KeyPitch(64));

  CvRig all;
  all.Start();  // "All" is the default
  all.Send(10, NoteOn(60, 100, 5));
  all.Render(128);
  EXPECT_EQ(all.gate[100], 1.0f);
}

TEST_F(MidiToCvTest, SustainPedalHoldsReleasedNotesUntilItGoesUp) {
  Start();
  Send(10, NoteOn(60, 100));
  Send(100, Controller(64, 64));
  Send(200, NoteOff(60));
  Send(400, Controller(64, 63));
  Render(512);
  EXPECT_EQ(gate[399], 1.0f);
  EXPECT_EQ(gate[400], 0.0f);
}

TEST_F(MidiToCvTest, ChannelPressureBecomesAftertouchOnThatChannelsVoicesOnly) {
  Start();
  Send(0, NoteOn(60, 100));
  Send(200, 0xD0 | 100 << 8);  // channel 0
  Send(600, 0xD1 | 20 << 8);   // channel 1: no voice plays there
  const auto out = Record({cv->plug(Cv::kAftertouch)}, 1024).front();
  EXPECT_EQ(out[199], 0.0f);
  EXPECT_NEAR(out[1023], 100.0f / 127.0f, 1e-6);
  EXPECT_NEAR(out[599], 100.0f / 127.0f, 1e-6);  // reached before the other channel's
}

// Notes played through a whole built graph: a container of two voices whose
// "Midi to CV" feeds an "ADSR" each.
struct TwoVoices : PolyProject {
  TwoVoices() : PolyProject(2) {
    CUG* adsr = Add("ADSR");
    CUG* combiner = Add("Voice Combiner");
    Connect(cv, "Gate", adsr, "Gate");
    Connect(adsr, "Signal Out", combiner, "Signals In");
    Start();
    cvs = PerVoice<Cv>(*cv);
  }
  // The pitch and gate each voice's "Midi to CV" gives after `cells` cells.
  std::vector<std::pair<float, float>> After(int cells) {
    for (int i = 0; i < cells; ++i) master.Process(64);
    std::vector<std::pair<float, float>> seen;
    for (const Cv* voice : cvs) {
      seen.emplace_back(voice->plug(Cv::kPitch)->Data()[63], voice->plug(Cv::kGate)->Data()[63]);
    }
    return seen;
  }
  std::vector<Cv*> cvs;
};

TEST(Voices, AThirdKeyStealsTheVoiceOfTheOldestHeldNote) {
  TwoVoices poly;
  ASSERT_EQ(poly.cvs.size(), 2u);
  poly.Midi(0, NoteOn(60, 100));
  poly.Midi(100, NoteOn(62, 100));
  const auto before = poly.After(8);
  const int held60 = before[0].first == Cv::KeyPitch(60) ? 0 : 1;
  ASSERT_EQ(before[held60].first, Cv::KeyPitch(60));
  ASSERT_EQ(before[1 - held60].first, Cv::KeyPitch(62));
  poly.Midi(600, NoteOn(64, 100));
  const auto after = poly.After(8);
  EXPECT_EQ(after[held60].first, Cv::KeyPitch(64));
  EXPECT_EQ(after[1 - held60].first, Cv::KeyPitch(62));
  EXPECT_GT(after[held60].second, 0.0f);
  EXPECT_GT(after[1 - held60].second, 0.0f);

  // A released key's voice is the next one taken.
  poly.Midi(1200, NoteOff(62));
  poly.Midi(1300, NoteOn(67, 100));
  const auto last = poly.After(8);
  EXPECT_EQ(last[held60].first, Cv::KeyPitch(64));
  EXPECT_EQ(last[1 - held60].first, Cv::KeyPitch(67));
}

TEST(Voices, AThousandEventMidiBlockIntoSixtyFourVoicesLosesNothing) {
  PolyProject poly(64);
  CUG* adsr = poly.Add("ADSR");
  poly.Connect(poly.cv, "Gate", adsr, "Gate");
  poly.Start();
  // As the host delivers a block: every event queued before it is processed,
  // here all at one time. Keys that come again while held are retriggered
  // as well as given a voice, so each note fans out into two voice events.
  for (int i = 0; i < 1000; ++i) poly.Midi(0, NoteOn(40 + i % 12, 90));
  for (int i = 0; i < 8; ++i) poly.master.Process(64);
  EXPECT_EQ(poly.master.Events().Dropped(), 0u);
}

}  // namespace
}  // namespace ov::test
