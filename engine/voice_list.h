// The voices of a container that holds a note source: which voice plays
// which note, allocation and stealing, release, the sustain pedal, and
// taking silent voices off the run list.
//
// Threads: the voice list is built on the editor thread while audio is
// stopped; allocation, release and suspension run on the audio thread inside
// event handling.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

namespace ov {

class ug_base;
class ug_notesource;

// Two note sources in one voice: the engine cannot start.
class VoiceConflict : public std::runtime_error {
 public:
  VoiceConflict();
};

struct Voice {
  // Not owned: the container owns every generator.
  std::vector<ug_base*> generators;
  ug_notesource* note_source = nullptr;
  // Sample times. A voice that was never released counts as released at
  // time 0, the same as a suspended one, so either is a first choice.
  uint32_t release_time = 0;
  uint32_t start_time = 0;
  bool held = false;  // between note-on and note-off
  int16_t channel = 0;
  int16_t key = 0;  // a drum voice's fixed note
  bool retriggered = false;
  int32_t index = 0;
  bool suspended = false;
  bool open = false;
  bool sustained = false;
};

class VoiceList {
 public:
  static constexpr int16_t kDefaultPolyphony = 8;
  static constexpr int32_t kChooseVoice = -1;
  static constexpr int16_t kAllKeys = -1;

  // Holds voice 0, the model voice, into which the graph builder puts every
  // generator of the container.
  VoiceList();
  virtual ~VoiceList();

  // Editor thread, audio stopped. A second note source raises VoiceConflict.
  void AddToModelVoice(ug_base& generator);
  void SetPolyphony(int16_t polyphony) { polyphony_ = polyphony; }
  int16_t Polyphony() const { return polyphony_; }
  int32_t VoiceCount() const { return static_cast<int32_t>(voices_.size()); }
  Voice& voice(int32_t index) { return *voices_[static_cast<size_t>(index)]; }
  const Voice& voice(int32_t index) const { return *voices_[static_cast<size_t>(index)]; }

  // Audio thread. The chosen voice's note source gets a note-on at `time`.
  // `requested` takes that voice (mono mode asks for 0); kChooseVoice picks
  // one, stealing when every voice is busy.
  int32_t AllocateVoice(uint32_t time, int16_t channel, int16_t key, int16_t velocity,
                        int32_t requested);
  // Note-off for the held voice with that channel and key, or every voice
  // for kAllKeys.
  void Release(uint32_t time, int16_t channel, int16_t key, int16_t velocity);
  // The pedal holds the voice with that channel and key past its note-off.
  void Sustain(uint32_t time, int16_t channel, int16_t key);
  // Pedal up: every sustained voice of the channel is released.
  void ReleaseSustained(uint32_t time, int16_t channel);
  // The voice's note source has nothing more to play (its sample or its
  // envelope ended): the voice is free as one never used, key 0.
  void VoiceFinished(int32_t index, uint32_t time);
  // A released voice has gone quiet: its generators leave the run list.
  void SuspendVoice(int32_t index);
  void ResumeVoice(int32_t index);
  // Voices not taken off the run list: those playing a note or still
  // sounding after it. Audio thread.
  int32_t SoundingVoiceCount() const;

 protected:
  // A new, empty voice at the end of the list. Editor thread.
  Voice& AppendVoice();

 private:
  int32_t ChooseVoice(uint32_t time, int16_t channel, int16_t key);
  void NoteOff(Voice& voice, uint32_t time);

  std::vector<std::unique_ptr<Voice>> voices_;
  int16_t polyphony_ = kDefaultPolyphony;
};

}  // namespace ov
