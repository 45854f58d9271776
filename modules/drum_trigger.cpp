#include "modules/drum_trigger.h"

#include <algorithm>

#include "engine/audio_master.h"
#include "engine/midi_word.h"
#include "engine/polyphony.h"
#include "engine/ug_container.h"
#include "modules/descriptors/plug_tables.h"

namespace ov {
namespace {

struct DrumRow {
  int32_t index;
  int32_t trig_plug;
  int32_t vel_plug;
};
// Kick, snare, hi-hat, cow bell, toms 1-3, clap, crash, tambourine, ride,
// then the four user drums.
constexpr std::array<DrumRow, ug_drum_trigger::kDrumCount> kDrums = {{
    {35, 5, 6},   {38, 7, 8},   {42, 9, 10},  {56, 12, 13}, {45, 14, 15},
    {47, 16, 17}, {50, 18, 19}, {39, 20, 21}, {49, 22, 23}, {54, 24, 25},
    {51, 26, 27}, {0, 28, 29},  {1, 30, 31},  {2, 36, 37},  {3, 38, 39},
}};
constexpr int32_t kNoDrum = -1;
constexpr int32_t kTriggerDelay = 3;  // samples between the low and the high edge

}  // namespace

ug_drum_trigger::ug_drum_trigger() {
  // One generator plays every drum; its voices only group what it feeds.
  SetFlags(Flags() & ~UGF_PER_VOICE);
  record_of_drum_.fill(kNoDrum);
  for (size_t r = 0; r < drums_.size(); ++r) {
    drums_[r].index = kDrums[r].index;
    drums_[r].trig_plug = kDrums[r].trig_plug;
    drums_[r].vel_plug = kDrums[r].vel_plug;
    drums_[r].velocity.init(smart_output::kLinear, 4);
  }
  SetProcessFunction(&ug_drum_trigger::Run);
}

std::unique_ptr<ug_base> ug_drum_trigger::CreateInstance() const {
  return std::make_unique<ug_drum_trigger>();
}

void ug_drum_trigger::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  std::array<PlugMember, 36> members{};
  members[kChannelPlug] = channel_;
  members[kOpenHiHatDecay] = open_decay_;
  members[kPedalHiHatDecay] = pedal_decay_;
  members[kClosedHiHatDecay] = closed_decay_;
  members[kHiHatDecayOut] = decay_out_;
  for (size_t u = 0; u < user_notes_.size(); ++u) members[kFirstUserNote + u] = user_notes_[u];
  AppendPlugs(kDrumTriggerPlugs, members, descriptors);
}

void ug_drum_trigger::SetUpBuffers() {
  ug_base::SetUpBuffers();
  for (Drum& drum : drums_) drum.velocity.attach(*plug(drum.vel_plug));
}

int32_t ug_drum_trigger::AssignVoiceGroups() {
  int32_t group = 1;
  for (Drum& drum : drums_) {
    std::array<int32_t, 3> unit = {drum.trig_plug, drum.vel_plug, -1};
    if (drum.index == kHiHat) unit[2] = kHiHatDecayOut;
    bool connected = false;
    for (const int32_t number : unit) {
      if (number < 0) continue;
      for (connector* link : plug(number)->Connectors()) {
        connected = true;
        ug_base& next = link->Destination()->Owner();
        if (next.Container() == Container()) SpreadGroupDownstream(next, group, Container());
      }
    }
    if (connected) drum.group = group++;
  }
  return group - 1;
}

void ug_drum_trigger::Open() {
  record_of_drum_.fill(kNoDrum);
  for (size_t r = 0; r < drums_.size(); ++r) {
    Drum& drum = drums_[r];
    drum.trig = plug(drum.trig_plug)->Data();
    if (drum.group > 0) record_of_drum_[static_cast<size_t>(drum.index)] = static_cast<int16_t>(r);
  }
  const auto rate = static_cast<int32_t>(Master()->SampleRate());
  minimum_gate_ = 20 * rate / 1000;
  ug_notesource::Open();
}

void ug_drum_trigger::Resume() {
  ug_notesource::Resume();
  for (Drum& drum : drums_) drum.velocity.rearm();
}

int32_t ug_drum_trigger::DrumIndexOf(int32_t note) const {
  for (size_t u = 0; u < user_notes_.size(); ++u) {
    if (note == user_notes_[u]) return static_cast<int32_t>(u);
  }
  switch (note) {
    case 36:
      return 35;
    case 40:
      return 38;
    case 41:
    case 43:
      return 45;
    case 44:
    case 46:
      return 42;
    case 48:
      return 47;
    case 57:
      return 49;
    default:
      return note >= 0 && note < 58 ? note : kNoDrum;
  }
}

int32_t ug_drum_trigger::RecordOf(int32_t drum) const {
  if (drum < 0 || drum >= static_cast<int32_t>(record_of_drum_.size())) return kNoDrum;
  return record_of_drum_[static_cast<size_t>(drum)];
}

float ug_drum_trigger::InputNow(const float* input) const {
  return input != nullptr ? SampleNow(input) : 0.0f;
}

void ug_drum_trigger::HandleEvent(ug_event& event) {
  const uint32_t time = event.time_stamp;
  switch (event.kind) {
    case UET_MIDI:
      OnMidiNote(time, static_cast<uint32_t>(event.parm1));
      return;
    case UET_NOTE_ON: {
      const int32_t record = RecordOf(event.parm3);
      if (record != kNoDrum) Hit(time, record, static_cast<int16_t>(EventValue(event.parm2)));
      return;
    }
    case UET_NOTE_OFF: {
      const int32_t record = RecordOf(event.parm3);
      if (record == kNoDrum) return;
      const Drum& drum = drums_[static_cast<size_t>(record)];
      // The gate stays high for at least the minimum length after the hit.
      uint32_t off = time + kTriggerDelay;
      const uint32_t earliest = drum.last_hit + static_cast<uint32_t>(minimum_gate_);
      if (TimeBefore(off, earliest)) off = earliest;
      QueueEvent(off, UET_GATE, record, nullptr, 0, true);
      return;
    }
    case UET_GATE:
      SetGate(time, event.parm1, event.parm3);
      return;
    case UET_NOTE_RETRIGGER:
    case UET_PITCH_BEND:
    case UET_PRESSURE:
      return;
    default:
      ug_notesource::HandleEvent(event);
  }
}

void ug_drum_trigger::OnMidiNote(uint32_t time, uint32_t word) {
  const uint32_t command = midi::Command(word);
  const int16_t channel = midi::Channel(word);
  const int32_t note = midi::Data1(word);
  const int16_t velocity = midi::Data2(word);
  const bool on = command == midi::kNoteOn && velocity != 0;
  if (!on && command != midi::kNoteOff && command != midi::kNoteOn) return;
  const int32_t drum = DrumIndexOf(note);
  if (drum == kNoDrum) return;
  const int32_t record = RecordOf(drum);
  ug_container* voices = Voices();
  if (record == kNoDrum || voices == nullptr) return;
  if (!on) {
    voices->Release(time, channel, static_cast<int16_t>(drum), velocity);
    return;
  }
  bool decay_changed = false;
  if (drum == kHiHat) {
    float decay = decay_;
    if (note == 42) decay = InputNow(closed_decay_);
    if (note == 44) decay = InputNow(pedal_decay_);
    if (note == 46) decay = InputNow(open_decay_);
    decay_changed = decay != decay_;
    if (decay_changed) {
      decay_ = decay;
      decay_fill_ = Master()->EngineBlockSize();
      SetProcessFunction(&ug_drum_trigger::Run);
    }
  }
  voices->AllocateVoice(time, channel, static_cast<int16_t>(drum), velocity,
                        drums_[static_cast<size_t>(record)].group);
  if (decay_changed) plug(kHiHatDecayOut)->Transmit(Clock(), ST_STATIC);
}

void ug_drum_trigger::Hit(uint32_t time, int32_t record, int16_t velocity) {
  Drum& drum = drums_[static_cast<size_t>(record)];
  SetProcessFunction(&ug_drum_trigger::Run);
  drum.gate = 0.0f;
  plug(drum.trig_plug)->Transmit(time, ST_STATIC);
  drum.velocity.set_target(time, static_cast<float>(velocity) * 0.007874016f);
  drum.fill_countdown = Master()->EngineBlockSize();
  drum.last_hit = time;
  QueueEvent(time + kTriggerDelay, UET_GATE, record, nullptr, 1, true);
}

void ug_drum_trigger::SetGate(uint32_t time, int32_t record, int32_t value) {
  if (record < 0 || record >= kDrumCount) return;
  Drum& drum = drums_[static_cast<size_t>(record)];
  SetProcessFunction(&ug_drum_trigger::Run);
  // An off that a newer hit has overtaken is dropped.
  const bool long_enough = static_cast<int32_t>(time - drum.last_hit) >= minimum_gate_;
  if (value == 0 && !long_enough) return;
  drum.gate = static_cast<float>(value);
  drum.fill_countdown = Master()->EngineBlockSize();
  plug(drum.trig_plug)->Transmit(time, ST_STATIC);
}

void ug_drum_trigger::Run(int32_t position, int32_t count) {
  bool can_sleep = true;
  for (auto drum = drums_.rbegin(); drum != drums_.rend(); ++drum) {
    if (drum->fill_countdown <= 0) continue;
    drum->velocity.process(position, count, can_sleep);
    std::fill_n(drum->trig + position, count, drum->gate);
    drum->fill_countdown -= count;
    can_sleep = false;
  }
  if (decay_fill_ > 0) {
    std::fill_n(decay_out_ + position, count, decay_);
    decay_fill_ -= count;
  } else if (can_sleep) {
    SetProcessFunction(&ug_drum_trigger::SleepWhenIdle);
  }
}

}  // namespace ov
