#include "engine/voice_list.h"

#include <limits>

#include "engine/ug_base.h"
#include "engine/ug_notesource.h"

namespace ov {
namespace {

// How long ago a voice was released: the longest for a free voice, none for
// a held one (which is never chosen by this measure). Measured back from
// `now` so that the comparison survives the sample clock's wrap.
int64_t ReleaseAge(const Voice& voice, uint32_t now) {
  if (voice.held) return -1;
  if (voice.suspended) return std::numeric_limits<int64_t>::max();
  return static_cast<uint32_t>(now - voice.release_time);
}

}  // namespace

VoiceConflict::VoiceConflict()
    : std::runtime_error(
          "You have several 'MidiToCv', 'Soundfont Player', or 'Drum Trigger' modules together. "
          "Put each in it's own container.") {}

VoiceList::VoiceList() { voices_.push_back(std::make_unique<Voice>()); }

VoiceList::~VoiceList() = default;

Voice& VoiceList::AppendVoice() {
  auto& made = *voices_.emplace_back(std::make_unique<Voice>());
  made.index = VoiceCount() - 1;
  return made;
}

void VoiceList::AddToModelVoice(ug_base& generator) {
  Voice& model = *voices_.front();
  model.generators.push_back(&generator);
  auto* source = dynamic_cast<ug_notesource*>(&generator);
  if (source == nullptr) return;
  if (model.note_source != nullptr) throw VoiceConflict();
  model.note_source = source;
  source->SetVoice(0);
}

int32_t VoiceList::ChooseVoice(uint32_t time, int16_t channel, int16_t key) {
  // Before the first note voice 0 has key 0.
  if (voices_.front()->key == 0 && !voices_.front()->held) return 0;
  int32_t longest_released = -1;
  int64_t longest_age = -1;
  int32_t oldest = 0;
  int64_t oldest_age = -1;
  // From the last voice to the first with strict comparisons: among equals
  // the highest index wins.
  for (int32_t i = VoiceCount() - 1; i >= 0; --i) {
    Voice& candidate = voice(i);
    if (candidate.held && candidate.channel == channel && candidate.key == key &&
        !candidate.retriggered) {
      // The note it held counts as released now; the new note takes a voice
      // of its own.
      candidate.held = false;
      candidate.release_time = time;
      candidate.retriggered = true;
      candidate.sustained = false;
      if (candidate.note_source != nullptr) {
        candidate.note_source->QueueEvent(time, UET_NOTE_RETRIGGER, channel, EventValue(64), key,
                                          true);
      }
    }
    const int64_t age = ReleaseAge(candidate, time);
    if (age > longest_age) {
      longest_age = age;
      longest_released = i;
    }
    const int64_t start_age = static_cast<uint32_t>(time - candidate.start_time);
    if (start_age > oldest_age) {
      oldest_age = start_age;
      oldest = i;
    }
  }
  return longest_released >= 0 ? longest_released : oldest;
}

int32_t VoiceList::AllocateVoice(uint32_t time, int16_t channel, int16_t key, int16_t velocity,
                                 int32_t requested) {
  int32_t chosen = requested >= 0 ? requested : ChooseVoice(time, channel, key);
  if (chosen >= VoiceCount()) chosen = 0;
  Voice& target = voice(chosen);
  target.channel = channel;
  target.key = key;
  target.start_time = time;
  target.held = true;
  target.retriggered = false;
  target.sustained = false;
  if (target.suspended) ResumeVoice(chosen);
  if (target.note_source != nullptr) {
    target.note_source->QueueEvent(time, UET_NOTE_ON, channel, EventValue(velocity), key, true);
  }
  return chosen;
}

void VoiceList::NoteOff(Voice& target, uint32_t time) {
  target.sustained = false;
  target.held = false;
  target.release_time = time;
  if (target.note_source != nullptr) {
    target.note_source->QueueEvent(time, UET_NOTE_OFF, target.channel, EventValue(0), target.key,
                                   true);
  }
}

void VoiceList::Release(uint32_t time, int16_t channel, int16_t key, int16_t) {
  if (key == kAllKeys) {
    for (auto& each : voices_) NoteOff(*each, time);
    return;
  }
  for (int32_t i = VoiceCount() - 1; i >= 0; --i) {
    Voice& candidate = voice(i);
    if (candidate.channel == channel && candidate.key == key && candidate.held &&
        !candidate.sustained) {
      NoteOff(candidate, time);
      return;
    }
  }
}

void VoiceList::Sustain(uint32_t, int16_t channel, int16_t key) {
  for (int32_t i = VoiceCount() - 1; i >= 0; --i) {
    Voice& candidate = voice(i);
    if (candidate.channel == channel && candidate.key == key && candidate.held &&
        !candidate.sustained) {
      candidate.sustained = true;
      return;
    }
  }
}

void VoiceList::ReleaseSustained(uint32_t time, int16_t channel) {
  for (auto& each : voices_) {
    if (each->sustained && each->channel == channel) NoteOff(*each, time);
  }
}

void VoiceList::VoiceFinished(int32_t index, uint32_t time) {
  if (index < 0 || index >= VoiceCount()) return;
  Voice& target = voice(index);
  if (target.held) target.release_time = time;
  target.held = false;
  target.sustained = false;
  target.key = 0;
}

void VoiceList::SuspendVoice(int32_t index) {
  if (index < 0 || index >= VoiceCount()) return;
  Voice& target = voice(index);
  if (target.held || target.suspended) return;
  for (ug_base* generator : target.generators) {
    if ((generator->Flags() & UGF_PER_VOICE) && !(generator->Flags() & UGF_OUTLIVES_VOICE)) {
      generator->Suspend();
    }
  }
  target.suspended = true;
}

int32_t VoiceList::SoundingVoiceCount() const {
  int32_t sounding = 0;
  for (const auto& each : voices_) sounding += each->suspended ? 0 : 1;
  return sounding;
}

void VoiceList::ResumeVoice(int32_t index) {
  if (index < 0 || index >= VoiceCount()) return;
  Voice& target = voice(index);
  for (ug_base* generator : target.generators) {
    if ((generator->Flags() & UGF_PER_VOICE) && !(generator->Flags() & UGF_OUTLIVES_VOICE)) {
      generator->Resume();
    }
  }
  target.suspended = false;
}

}  // namespace ov
