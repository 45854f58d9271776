#include "engine/ug_notesource.h"

#include "engine/midi_word.h"
#include "engine/ug_container.h"

namespace ov {
namespace {

constexpr int16_t kDrumChannel = 9;

}  // namespace

ug_notesource::ug_notesource() {
  SetFlags(Flags() | UGF_PER_VOICE | UGF_OUTLIVES_VOICE | UGF_SORT_BOOST);
}

ug_notesource::~ug_notesource() = default;

void ug_notesource::Open() {
  if (IsModel() && channels_ == nullptr) channels_ = std::make_unique<ChannelTable>();
  SetChannelFilter();
  ug_base::Open();
}

std::unique_ptr<ug_base> ug_notesource::Clone() {
  std::unique_ptr<ug_base> copy = ug_base::Clone();
  static_cast<ug_notesource&>(*copy).model_ = model_;
  copy->SetSortOrder(SortOrder() - 1);
  return copy;
}

void ug_notesource::SetChannelFilter() {
  if (PlugCount() > kChannelPlug) plug(kMidiInPlug)->SetChannelFilter(channel_);
}

void ug_notesource::OnStatusChange(uint32_t time, connector* link, int32_t state) {
  if (link != nullptr && link->Destination() == plug(kChannelPlug)) SetChannelFilter();
  ug_base::OnStatusChange(time, link, state);
}

ug_container* ug_notesource::Voices() const { return Container(); }

void ug_notesource::HandleEvent(ug_event& event) {
  const uint32_t time = event.time_stamp;
  switch (event.kind) {
    case UET_MIDI:
      if (IsModel()) OnMidi(time, static_cast<uint32_t>(event.parm1));
      return;
    case UET_NOTE_ON:
      note_channel_ = static_cast<int16_t>(event.parm1);
      note_key_ = static_cast<int16_t>(event.parm3);
      OnVoiceNoteOn(time, static_cast<int16_t>(EventValue(event.parm2)));
      return;
    case UET_NOTE_OFF:
      OnVoiceNoteOff(time);
      return;
    case UET_NOTE_RETRIGGER:
      OnVoiceRetrigger(time);
      return;
    case UET_PITCH_BEND:
      OnVoiceBend(time, event.parm1);
      return;
    case UET_PRESSURE:
      OnVoicePressure(time, event.parm1);
      return;
    case UET_PITCH_GLIDE:
      OnVoiceGlide(event);
      return;
    case UET_SUSPEND:
      if (ug_container* voices = Voices()) voices->SuspendVoice(EventValue(event.parm2));
      return;
    default:
      ug_base::HandleEvent(event);
  }
}

void ug_notesource::OnVoiceRetrigger(uint32_t time) {
  OnVoiceNoteOff(time);
  for (ug_base* target : retrigger_targets_) {
    target->QueueEvent(time, UET_NOTE_RETRIGGER, note_channel_, EventValue(64), note_key_, true);
  }
}

void ug_notesource::OnNoteOn(uint32_t time, int16_t channel, int16_t key, int16_t velocity) {
  if (ug_container* voices = Voices()) {
    voices->AllocateVoice(time, channel, key, velocity, VoiceList::kChooseVoice);
  }
}

void ug_notesource::OnNoteOff(uint32_t time, int16_t channel, int16_t key, int16_t velocity) {
  ReleaseNote(time, channel, key, velocity);
}

void ug_notesource::ReleaseNote(uint32_t time, int16_t channel, int16_t key, int16_t velocity) {
  ug_container* voices = Voices();
  if (voices == nullptr) return;
  if (SustainDown(channel)) {
    voices->Sustain(time, channel, key);
  } else {
    voices->Release(time, channel, key, velocity);
  }
}

void ug_notesource::OnMidi(uint32_t time, uint32_t word) {
  if (midi::Status(word) >= midi::kSystem) return;
  const uint32_t command = midi::Command(word);
  const int16_t channel = midi::Channel(word);
  const int16_t first = midi::Data1(word);
  const int16_t second = midi::Data2(word);
  switch (command) {
    case midi::kNoteOn:
      if (second != 0) {
        OnNoteOn(time, channel, first, second);
        return;
      }
      [[fallthrough]];  // velocity 0 is a note-off
    case midi::kNoteOff:
      OnNoteOff(time, channel, first, second);
      return;
    case midi::kControlChange:
      OnController(time, channel, first, second);
      return;
    case midi::kProgramChange:
      for (ug_base* each = this; each != nullptr; each = each->NextClone()) {
        static_cast<ug_notesource*>(each)->OnPatchChange(channel, first);
      }
      return;
    case midi::kChannelPressure:
    case midi::kPitchBend: {
      const bool bend = command == midi::kPitchBend;
      const int32_t value = bend ? first + 128 * second - 8192 : first;
      if (bend)
        (*channels_)[static_cast<size_t>(channel)].bend = static_cast<float>(value) / 8192.0f;
      for (ug_base* each = this; each != nullptr; each = each->NextClone()) {
        if (static_cast<ug_notesource*>(each)->note_channel_ != channel) continue;
        each->QueueEvent(time, bend ? UET_PITCH_BEND : UET_PRESSURE, value, nullptr, 0, true);
      }
      return;
    }
    default:  // polyphonic pressure
      return;
  }
}

void ug_notesource::OnController(uint32_t time, int16_t channel, int32_t number, int32_t value) {
  ChannelBend& state = (*channels_)[static_cast<size_t>(channel)];
  switch (number) {
    case 0:
      OnBankSelect(channel, value == 0 && channel == kDrumChannel ? 128 : value);
      return;
    case 6:
    case 38:
      if (rpn_ != 0) return;
      data_entry_ = static_cast<int16_t>(number == 6 ? (value << 7) | (data_entry_ & 0x7F)
                                                     : (data_entry_ & ~0x7F) | value);
      state.bend_range = static_cast<float>(data_entry_) / 128.0f;
      return;
    case 98:
    case 99:
      rpn_ = -1;
      return;
    case 100:
      rpn_ = static_cast<int16_t>((rpn_ & ~0x7F) | value);
      return;
    case 101:
      rpn_ = static_cast<int16_t>((rpn_ & 0x7F) | (value << 7));
      return;
    case 64:
    case 69:
      if (value > 63) {
        sustain_[static_cast<size_t>(channel)] = true;
      } else if (sustain_[static_cast<size_t>(channel)]) {
        sustain_[static_cast<size_t>(channel)] = false;
        if (ug_container* voices = Voices()) voices->ReleaseSustained(time, channel);
      }
      return;
    case 120:
    case 123:
      if (ug_container* voices = Voices()) voices->Release(time, channel, VoiceList::kAllKeys, 0);
      return;
    default:
      return;
  }
}

}  // namespace ov
