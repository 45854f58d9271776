// The MIDI utility modules on known messages and signals: what the filter
// lets through, the controllers' glides and scales, the notes a gate makes
// and when, the keyboard's queue, and the monitor's lines.
#include "modules/midi_utility.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "engine/audio_master.h"
#include "engine/midi_word.h"
#include "tests/modules/module_rig.h"

namespace ov::test {
namespace {

using midi::Word;

// What a monitor's generator prints, read off the engine-to-editor ring.
struct Printed {
  void OnMessage(uint32_t message_id, MessageReader& payload) {
    std::string line;
    line.reserve(4096);
    if (message_id == kMsgPrint && payload.ReadString(line)) lines.push_back(line);
  }
  std::vector<std::string> lines;
};

class MidiUtilityTest : public ModuleTest {
 protected:
  // A MIDI source into `input` and a probe on `output` (either may be null).
  void Wire(UPlug* input, UPlug* output) {
    if (input != nullptr) midi_ = &Feed(*input, 30);
    if (output != nullptr) {
      probe_ = &Add(std::make_unique<Probe>(DT_MIDI, 1), 0);
      top.connect(output, probe_->plug(0));
    }
  }
  // Sends each word at its own sample of the next cell, then runs the cell.
  void SendInNextCell(const std::vector<uint32_t>& words) {
    uint32_t time = cells * kCell;
    for (uint32_t word : words) midi_->SendMidi(*midi_->plug(0), time++, word);
    Step();
  }
  std::vector<uint32_t> Received() const {
    std::vector<uint32_t> words;
    for (const Probe::Midi& m : probe_->midi) words.push_back(m.message);
    return words;
  }

  Source* midi_ = nullptr;
  Probe* probe_ = nullptr;
};

TEST_F(MidiUtilityTest, TheFilterPassesMessagesInsideItsChannelNoteAndVelocityWindows) {
  auto& filter = Add(std::make_unique<ug_midi_filter>());
  Wire(filter.plug(ug_midi_filter::kMidiIn), filter.plug(ug_midi_filter::kMidiOut));
  Set(filter, ug_midi_filter::kChannelLo, "2");
  Set(filter, ug_midi_filter::kNoteLo, "60");
  Set(filter, ug_midi_filter::kNoteHi, "72");
  Set(filter, ug_midi_filter::kVelocityLo, "10");
  Start();
  const uint32_t on59 = Word(0x91, 59, 100), on60 = Word(0x91, 60, 100);
  const uint32_t controller = Word(0xB1, 7, 100), quiet = Word(0x91, 64, 5);
  const uint32_t zero_in = Word(0x91, 64, 0), zero_out = Word(0x91, 80, 0);
  const uint32_t off_out = Word(0x81, 73, 64), channel1 = Word(0x90, 64, 100);
  const uint32_t channel1_cc = Word(0xB0, 7, 1), clock = 0xF8;
  SendInNextCell(
      {on59, on60, controller, quiet, zero_in, zero_out, off_out, channel1, channel1_cc, clock});
  // A velocity-0 note-on is a note-off: the velocity window does not apply,
  // the note window does.
  EXPECT_EQ(Received(), (std::vector<uint32_t>{on60, controller, zero_in, clock}));
  // Each passes unchanged at its own time.
  EXPECT_EQ(probe_->midi[0].clock, 1u);
  EXPECT_EQ(probe_->midi[3].clock, 9u);
}

TEST_F(MidiUtilityTest, ControllersGlideToFourteenBitValuesAndBendSpansPlusMinusOne) {
  auto& controllers = Add(std::make_unique<ug_midi_controllers>());
  Wire(controllers.plug(ug_midi_controllers::kMidiIn), nullptr);
  Set(controllers, ug_midi_controllers::kFirstType, "7");
  Start();
  UPlug& volume = *controllers.plug(ug_midi_controllers::kFirstController);
  UPlug& bender = *controllers.plug(ug_midi_controllers::kBender);
  Record(volume, 1024);

  // 735 samples of glide (44100 / 60) at 1.0 / 735 a sample.
  midi_->SendMidi(*midi_->plug(0), 1030, Word(0xB0, 7, 127));
  const std::vector<float> rising = Record(volume, 1024);
  for (int k = 0; k < 735; ++k) {
    ASSERT_NEAR(rising[6 + k], (k + 1) / 735.0, 1e-5) << k;
  }
  EXPECT_EQ(rising[6 + 734], 1.0f);
  EXPECT_EQ(rising[1000], 1.0f);
  Record(volume, 1024);
  EXPECT_TRUE(controllers.IsSleeping());  // nothing left to write

  // The least significant seven bits come from controller 7 + 32.
  midi_->SendMidi(*midi_->plug(0), cells * kCell, Word(0xB0, 39, 127));
  EXPECT_NEAR(Record(volume, 1024).back(), (16256.0 + 127.0) / 16256.0, 1e-6);

  const auto bend_to = [&](uint32_t value) {
    midi_->SendMidi(*midi_->plug(0), cells * kCell, Word(0xE0, value & 0x7F, value >> 7));
    return Record(bender, 1024).back();
  };
  EXPECT_EQ(bend_to(0x2000), 0.0f);
  EXPECT_EQ(bend_to(0), -1.0f);
  EXPECT_EQ(bend_to(0x3FFF), 8191.0f / 8192.0f);
  midi_->SendMidi(*midi_->plug(0), cells * kCell, Word(0xD0, 127));
  EXPECT_EQ(Record(*controllers.plug(ug_midi_controllers::kAftertouch), 1024).back(),
            127 * 0.007874016f);
}

TEST(TriggerToMidi, NotesAndVelocitiesFromVoltages) {
  using M = ug_cv_midi;
  EXPECT_EQ(M::NoteOf(0.5f, M::kVoltPerOctave), 69);
  EXPECT_EQ(M::NoteOf(0.6f, M::kVoltPerOctave), 81);
  EXPECT_EQ(M::NoteOf(0.5f + 0.04f / 12, M::kVoltPerOctave), 69);  // nearest note
  EXPECT_EQ(M::NoteOf(0.5f + 0.06f / 12, M::kVoltPerOctave), 70);
  EXPECT_EQ(M::NoteOf(0.045f, M::kVoltPerKilohertz), 69);  // 450 Hz
  EXPECT_EQ(M::NoteOf(2.0f, M::kVoltPerOctave), 127);
  EXPECT_EQ(M::NoteOf(-2.0f, M::kVoltPerOctave), 0);
  // No positive frequency and not-a-number give note 0, never a wild one.
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(M::NoteOf(0.0f, M::kVoltPerKilohertz), 0);
  EXPECT_EQ(M::NoteOf(-0.1f, M::kVoltPerKilohertz), 0);
  EXPECT_EQ(M::NoteOf(nan, M::kVoltPerKilohertz), 0);
  EXPECT_EQ(M::NoteOf(nan, M::kVoltPerOctave), 0);
  EXPECT_EQ(M::VelocityOf(0.5f), 63);
  EXPECT_EQ(M::VelocityOf(2.0f), 127);
  EXPECT_EQ(M::VelocityOf(0.0f), 1);
  EXPECT_EQ(M::VelocityOf(nan), 1);
}

TEST_F(MidiUtilityTest, AGateSendsEachNoteAtItsOwnSampleAndEndsTheNoteItStarted) {
  auto& cv = Add(std::make_unique<ug_cv_midi>());
  Wire(nullptr, cv.plug(ug_cv_midi::kMidiOut));
  Set(cv, ug_cv_midi::kChannel, "2");
  Stream(cv, ug_cv_midi::kGate, GateBetween(1000, 3000));
  // The pitch moves up an octave while the note sounds.
  Stream(cv, ug_cv_midi::kPitch, [](uint32_t start, float* samples) {
    for (int32_t i = 0; i < kCell; ++i) samples[i] = start + i < 2000 ? 0.5f : 0.6f;
  });
  Start();
  Record(*cv.plug(ug_cv_midi::kGate), 4000);
  ASSERT_EQ(probe_->midi.size(), 2u);
  EXPECT_EQ(probe_->midi[0], (Probe::Midi{1000, Word(0x92, 69, 63)}));  // "Velocity" 5 V
  EXPECT_EQ(probe_->midi[1], (Probe::Midi{3000, Word(0x82, 69, 64)}));
}

TEST_F(MidiUtilityTest, AStaticGateIsTestedOnceAtItsChangeAndTheModuleSleeps) {
  auto& cv = Add(std::make_unique<ug_cv_midi>());
  Wire(nullptr, cv.plug(ug_cv_midi::kMidiOut));
  DriveInput(*cv.plug(ug_cv_midi::kGate), [](int64_t n) { return n >= 700 ? 1.0f : 0.0f; },
             ST_STATIC, {{700, ST_STATIC}});
  Start();
  Record(*cv.plug(ug_cv_midi::kGate), 1024);
  ASSERT_EQ(probe_->midi.size(), 1u);
  EXPECT_EQ(probe_->midi[0], (Probe::Midi{700, Word(0x90, 69, 63)}));
  EXPECT_TRUE(cv.IsSleeping());
}

TEST_F(MidiUtilityTest, TheKeyboardQueuesKeysInOrderAndDropsWhatAFullQueueCannotHold) {
  auto& keyboard = Add(std::make_unique<ug_midi_keyboard>());
  Wire(nullptr, keyboard.plug(ug_midi_keyboard::kMidiOut));
  Set(keyboard, ug_midi_keyboard::kChannel, "3");
  Start();
  Step();
  EXPECT_TRUE(keyboard.IsSleeping());
  keyboard.ReceiveNotify(ug_midi_keyboard::kKeyDown, 60);
  keyboard.ReceiveNotify(ug_midi_keyboard::kKeyUp, 60 + 128);  // the key is seven bits
  Step();
  EXPECT_EQ(Received(), (std::vector<uint32_t>{Word(0x93, 60, 90), Word(0x83, 60, 64)}));
  EXPECT_EQ(probe_->midi[0].clock, kCell);
  EXPECT_TRUE(keyboard.IsSleeping());

  probe_->midi.clear();
  for (int key = 0; key < 300; ++key) keyboard.ReceiveNotify(ug_midi_keyboard::kKeyDown, key);
  Step();
  EXPECT_EQ(probe_->midi.size(), ug_midi_keyboard::kQueueWords);
  EXPECT_EQ(probe_->midi.back().message, Word(0x93, 255 & 0x7F, 90));
  EXPECT_EQ(keyboard.DroppedKeys(), 300 - ug_midi_keyboard::kQueueWords);
}

TEST(MidiMonitor, OneLinePerMessageKind) {
  const auto line = [](uint32_t word) {
    std::array<char, ug_midi_monitor::kLineBytes> text;
    return std::string(text.data(), ug_midi_monitor::FormatLine(word, text));
  };
  EXPECT_EQ(line(Word(0x99, 36, 100)), "C10 Note On  ( 36,100)\n");
  EXPECT_EQ(line(Word(0x00, 1, 2)), "C 1 Zeros bytes!\n");
  EXPECT_EQ(line(Word(0x35, 0x1A, 0x7F)), "C 6 Byte = 30 1a 7f\n");
  EXPECT_EQ(line(Word(0x80, 60, 64)), "C 1 Note Off ( 60, 64)\n");
  EXPECT_EQ(line(Word(0x9F, 5, 0)), "C16 Note Off (  5,  0)\n");
  EXPECT_EQ(line(Word(0xA2, 60, 9)), "C 3 Pattern (60)\n");
  EXPECT_EQ(line(Word(0xB0, 7, 100)), "C 1 Cntlr: 7 - Volume (100)\n");
  EXPECT_EQ(line(Word(0xB0, 3, 1)), "C 1 Cntlr: 3 (1)\n");
  EXPECT_EQ(line(Word(0xB0, 16, 1)), "C 1 Cntlr: 16 - General Purpose (1)\n");  // 20 characters
  EXPECT_EQ(line(Word(0xB0, 200, 1)), "C 1 Cntlr: ILEGAL CNTRLR\n");
  EXPECT_EQ(line(Word(0xC4, 0, 0)), "C 5 Prg change (  1)\n");
  EXPECT_EQ(line(Word(0xD0, 99, 0)), "C 1 Channel Pressure ( 99)\n");
  EXPECT_EQ(line(Word(0xE0, 0, 0)), "C 1 Bender (-64)\n");
  EXPECT_EQ(line(0xF8), "CLOCK\n");
  EXPECT_EQ(line(0xFA), "CLOCK - Start\n");
  EXPECT_EQ(line(0xFB), "CLOCK - Continue\n");
  EXPECT_EQ(line(0xFC), "CLOCK - Stop\n");
  EXPECT_EQ(line(Word(0xF2, 1, 2)), "SYSTEM (201f2)\n");
}

TEST_F(MidiUtilityTest, TheMonitorSaysSoundOnAndPrintsWhatItsChannelReceives) {
  MessageQueue to_editor(10000);
  master.SetEditorBoundQueue(&to_editor);
  auto& monitor = Add(std::make_unique<ug_midi_monitor>());
  Wire(monitor.plug(ug_midi_monitor::kMidiIn), nullptr);
  Set(monitor, ug_midi_monitor::kChannel, "9");
  auto& out = Add(std::make_unique<ug_midi_out>());
  top.connect(midi_->plug(0), out.plug(0));
  Start();
  SendInNextCell({Word(0x99, 36, 100), Word(0x90, 36, 100), 0xFC});
  Printed printed;
  to_editor.Drain([&](uint32_t id) { return id == monitor.TargetId() ? &printed : nullptr; });
  EXPECT_EQ(printed.lines,
            (std::vector<std::string>{"Sound ON", "C10 Note On  ( 36,100)\n", "CLOCK - Stop\n"}));
  EXPECT_TRUE(out.IsSleeping() || Events(out) == 0);
  master.SetEditorBoundQueue(nullptr);
}

// An application whose platform MIDI input brought what the test writes.
struct PlatformMidiHost : FakeEngineHost {
  const MidiRing* PlatformMidiIn() const override { return &ring; }
  MidiRing ring;
};

TEST(MidiIn, SendsThePlatformInputsMessagesAtTheirTimes) {
  BasicGraphRig<PlatformMidiHost, 128> rig;
  constexpr uint32_t kCell = 128;
  rig.host.ring.Write(0, Word(0x90, 1, 1));  // before the engine started: not played
  auto& in = rig.Add(std::make_unique<ug_midi_in>(), 20);
  auto& probe = rig.Add(std::make_unique<Probe>(DT_MIDI, 1), 0);
  rig.top.connect(in.plug(ug_midi_in::kMidiDataPlug), probe.plug(0));
  rig.Start();
  const uint32_t on = Word(0x90, 60, 100), off = Word(0x80, 60, 0), bend = Word(0xE0, 0, 64);
  const struct {
    std::vector<std::pair<uint32_t, uint32_t>> written;  // (time, word) before the cell
    std::vector<Probe::Midi> sent;                       // what the cell sends
  } cells[] = {
      // Active sensing is dropped; a message for a later cell waits for it.
      {{{5, on}, {6, 0xFE}, {kCell + 2, off}}, {{5, on}}},
      // One stamped before the cell plays at its start.
      {{{kCell - 10, bend}}, {{kCell, bend}, {kCell + 2, off}}},
      {{}, {}},
  };
  for (const auto& cell : cells) {
    SCOPED_TRACE("cell " + std::to_string(&cell - cells));
    for (const auto& [time, word] : cell.written) rig.host.ring.Write(time, word);
    probe.midi.clear();
    rig.master.Process(static_cast<int32_t>(kCell));
    EXPECT_EQ(probe.midi, cell.sent);
  }
}

}  // namespace
}  // namespace ov::test
