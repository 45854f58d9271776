// "MIDI Automator": controller messages become controller ids and values
// (7-bit, 14-bit pairs, RPN and NRPN data entry) for its patch context, and
// parameter values go back out as the matching controller messages.
#include "modules/midi_automator.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/ug_event.h"
#include "tests/modules/module_rig.h"

namespace ov::test {
namespace {

uint32_t Controller(int number, int value, int channel = 0) {
  return static_cast<uint32_t>(0xB0 | channel) | static_cast<uint32_t>(number) << 8 |
         static_cast<uint32_t>(value) << 16;
}

struct Reception {
  uint32_t time;
  int32_t id;
  float value;
  bool operator==(const Reception&) const = default;
};

class RecordingReceiver : public ControllerReceiver {
 public:
  void OnController(uint32_t time, int32_t id, float normalised) override {
    got.push_back({time, id, normalised});
  }
  std::vector<Reception> got;
};

// Records the MIDI reaching its input, with times.
class MidiProbe : public ug_base {
 public:
  struct Message {
    uint32_t time;
    uint32_t word;
    bool operator==(const Message&) const = default;
  };
  std::unique_ptr<ug_base> CreateInstance() const override { return std::make_unique<MidiProbe>(); }
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override {
    descriptors.emplace_back(nullptr, DR_IN, "", "MIDI In", "0", "", 0, DT_MIDI, nullptr);
  }
  void HandleEvent(ug_event& event) override {
    if (event.kind == UET_MIDI) {
      got.push_back({event.time_stamp, static_cast<uint32_t>(event.parm1)});
    } else {
      ug_base::HandleEvent(event);
    }
  }
  std::vector<Message> got;
};

// An automator and its output in a container that is their patch context;
// MIDI comes from a source the test drives and goes out to a probe.
class MidiAutomatorTest : public ::testing::Test, public ModuleRig {
 protected:
  MidiAutomatorTest() {
    top.SetPatchContext(&top);
    automator = &AddRaw(std::make_unique<ug_midi_automator>(), 10);
    output = &AddRaw(std::make_unique<ug_midi_automator_out>(), 9);
    probe = &AddRaw(std::make_unique<MidiProbe>(), 5);
    automator->SetPatchContext(&top);
    output->SetAutomator(automator);
    top.connect(output->plug(ug_midi_automator_out::kMidiOutPlug), probe->plug(0));
    midi = &Feed(*automator->plug(ug_midi_automator::kMidiInPlug), 30);
    top.AddControllerReceiver(receiver);
    top.SetAutomationOutput(output);
  }
  void Send(uint32_t time, uint32_t word) { midi->SendMidi(*midi->plug(0), time, word); }
  std::vector<uint32_t> SentWords() const {
    std::vector<uint32_t> words;
    for (const auto& message : probe->got) words.push_back(message.word);
    return words;
  }

  ug_midi_automator* automator = nullptr;
  ug_midi_automator_out* output = nullptr;
  MidiProbe* probe = nullptr;
  Source* midi = nullptr;
  RecordingReceiver receiver;
};

constexpr float kFull = 16256.0f;

TEST_F(MidiAutomatorTest, SevenBitControllersReachTheContextWithTheirTimes) {
  Start();
  Send(10, Controller(7, 127));
  Send(20, Controller(74, 64));
  Send(30, Controller(7, 0));
  Send(40, 0x7F4090);  // a note: not a controller, ignored
  Step();
  EXPECT_EQ(receiver.got,
            (std::vector<Reception>{
                {10, 0x2000007, 1.0f}, {20, 0x200004A, 64 * 128 / kFull}, {30, 0x2000007, 0.0f}}));
}

TEST_F(MidiAutomatorTest, FourteenBitPairsCombineTheirHalves) {
  Start();
  Send(0, Controller(1, 64));  // the coarse half alone
  Send(1, Controller(33, 1));  // its fine half: reported as controller 1
  Send(2, Controller(1, 65));  // a new coarse half keeps the fine one
  Send(3, Controller(33, 127));
  Send(4, Controller(1, 127));  // 16383 is past the top: clamped to 1
  Step();
  EXPECT_EQ(receiver.got, (std::vector<Reception>{{0, 0x2000001, 8192 / kFull},
                                                  {1, 0x2000001, 8193 / kFull},
                                                  {2, 0x2000001, 8321 / kFull},
                                                  {3, 0x2000001, 8447 / kFull},
                                                  {4, 0x2000001, 1.0f}}));
}

TEST_F(MidiAutomatorTest, ParameterNumbersSelectWhatDataEntryMoves) {
  Start();
  Send(0, Controller(6, 64));   // nothing selected: plain controller 6
  Send(1, Controller(101, 0));  // RPN 2: selecting moves nothing
  Send(2, Controller(100, 2));
  Send(3, Controller(6, 64));
  Send(4, Controller(38, 5));  // data entry's fine half
  Send(5, Controller(99, 1));  // NRPN from none: the other bits all ones...
  Send(6, Controller(6, 10));
  Send(7, Controller(98, 3));  // ...until its low half comes
  Send(8, Controller(6, 127));
  Send(9, Controller(100, 9));  // back to an RPN; the NRPN is forgotten
  Send(10, Controller(6, 0));
  Step();
  EXPECT_EQ(receiver.got, (std::vector<Reception>{{0, 0x2000006, 8192 / kFull},
                                                  {3, 0x3000002, 8192 / kFull},
                                                  {4, 0x3000002, 8197 / kFull},
                                                  {6, 0x40000FF, 1285 / kFull},
                                                  {8, 0x4000083, 1.0f},
                                                  {10, 0x3003F89, 5 / kFull}}));
}

TEST_F(MidiAutomatorTest, TheChannelSettingFiltersWhatArrives) {
  automator->plug(ug_midi_automator::kChannelPlug)->SetValueFromText("2");  // MIDI channel 3
  Start();
  Send(0, Controller(7, 100, 0));
  Send(1, Controller(7, 101, 2));
  Send(2, Controller(7, 102, 15));
  Step();
  EXPECT_EQ(receiver.got, (std::vector<Reception>{{1, 0x2000007, 101 * 128 / kFull}}));
}

TEST_F(MidiAutomatorTest, ValuesGoOutAsControllerMessagesOnTheAutomatorsChannel) {
  automator->plug(ug_midi_automator::kChannelPlug)->SetValueFromText("4");
  Start();
  Step();
  const uint32_t t = master.CellStart();
  output->SendAutomation(t, 0x2000007, 1.0f, false);       // coarse and fine halves
  output->SendAutomation(t + 1, 0x200004A, 0.5f, false);   // 8128: 74 has no fine half
  output->SendAutomation(t + 2, 0x3000002, 0.5f, false);   // RPN 2, then data entry
  output->SendAutomation(t + 3, 0x4000083, 0.25f, false);  // NRPN 0x83
  Step();
  EXPECT_EQ(SentWords(), (std::vector<uint32_t>{
                             Controller(7, 127, 4), Controller(39, 0, 4), Controller(74, 63, 4),
                             Controller(101, 0, 4), Controller(100, 2, 4), Controller(6, 63, 4),
                             Controller(38, 64, 4), Controller(99, 1, 4), Controller(98, 3, 4),
                             Controller(6, 31, 4), Controller(38, 96, 4)}));
  EXPECT_EQ(probe->got[3].time, t + 2);
}

TEST_F(MidiAutomatorTest, WhatIsNotSent) {
  Start();
  Step();
  const uint32_t t = master.CellStart() + 50;
  output->SendAutomation(t, 0x2000007, 1.0f, true);       // a patch change, "Send All" off
  output->SendAutomation(t, -1, 1.0f, false);             // no controller
  output->SendAutomation(t, -2, 1.0f, false);             // learning
  output->SendAutomation(t, 0x20000FF, 1.0f, false);      // not a controller number
  output->SendAutomation(t, 0x2000001, 0.5f, false);      // sent
  output->SendAutomation(t - 1, 0x2000002, 0.5f, false);  // earlier than the last sent
  Step();
  EXPECT_EQ(SentWords(), (std::vector<uint32_t>{Controller(1, 63), Controller(33, 64)}));
  // Before the cell now running: too late.
  output->SendAutomation(master.CellStart() - 1, 0x2000003, 0.5f, false);
  Step();
  EXPECT_EQ(probe->got.size(), 2u);
}

TEST_F(MidiAutomatorTest, SendAllOnPatchChangeLetsPatchChangesOut) {
  automator->plug(4)->SetValueFromText("1");
  Start();
  Step();
  output->SendAutomation(master.CellStart(), 0x2000050, 1.0f, true);
  Step();
  EXPECT_EQ(SentWords(), (std::vector<uint32_t>{Controller(80, 127)}));
}

}  // namespace
}  // namespace ov::test
