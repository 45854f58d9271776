// The base of every note source (MIDI-to-CV, sound-font players, drum
// triggers): reads channel messages arriving at its "MIDI In" and drives the
// voices of the container that holds it.
//
// The generator the document made is the model: it receives MIDI and keeps
// the per-channel state; each voice's copy plays that voice's notes. Its
// first two plugs are "MIDI In" and "Channel" (the input's channel filter).
//
// Threads: as ug_base. Built and opened on the editor thread; MIDI and voice
// events are handled on the audio thread.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/ug_base.h"

namespace ov {

class ug_container;

class ug_notesource : public ug_base {
 public:
  static constexpr int32_t kMidiInPlug = 0;
  static constexpr int32_t kChannelPlug = 1;

  struct ChannelBend {
    float bend = 0.0f;         // -1 .. +1
    float bend_range = 2.0f;  // semitones, set by registered parameter 0
  };
  using ChannelTable = std::array<ChannelBend, 16>;

  ug_notesource();
  ~ug_notesource() override;

  void Open() override;
  // The copy runs just after its model, which hands it the voice's events.
  std::unique_ptr<ug_base> Clone() override;
  void HandleEvent(ug_event& event) override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;

  // The voice this generator plays. Editor thread.
  void SetVoice(int32_t voice) { voice_ = voice; }
  int32_t VoiceIndex() const { return voice_; }
  bool IsModel() const { return model_ == this; }
  // Every note source except the drum trigger gives each voice its own copy.
  virtual bool IsPolyphonic() const { return true; }
  // A note source that is not polyphonic gives groups of the generators it
  // feeds voices of their own (voice groups 1 .. n); answers n. Editor
  // thread.
  virtual int32_t AssignVoiceGroups() { return 0; }
  // Envelopes get a retrigger when this voice's note starts again. Editor
  // thread.
  void RegisterForRetrigger(ug_base& generator) { retrigger_targets_.push_back(&generator); }

  // The channel and key of the note this voice plays.
  int16_t NoteChannel() const { return note_channel_; }
  int16_t NoteKey() const { return note_key_; }
  const ChannelTable& Channels() const { return *model_->channels_; }
  bool SustainDown(int32_t channel) const { return model_->sustain_[channel & 15]; }

 protected:
  // The model's reading of a channel message; subclasses take over notes.
  virtual void OnNoteOn(uint32_t time, int16_t channel, int16_t key, int16_t velocity);
  virtual void OnNoteOff(uint32_t time, int16_t channel, int16_t key, int16_t velocity);
  virtual void OnBankSelect(int16_t /*channel*/, int32_t /*bank*/) {}
  virtual void OnPatchChange(int16_t /*channel*/, int32_t /*program*/) {}

  // What each voice's copy does with the voice events.
  virtual void OnVoiceNoteOn(uint32_t /*time*/, int16_t /*velocity*/) {}
  virtual void OnVoiceNoteOff(uint32_t /*time*/) {}
  virtual void OnVoiceRetrigger(uint32_t time);
  virtual void OnVoiceBend(uint32_t /*time*/, int32_t /*value*/) {}
  virtual void OnVoicePressure(uint32_t /*time*/, int32_t /*pressure*/) {}
  virtual void OnVoiceGlide(ug_event& /*event*/) {}

  // Note-off for a note whose key is up: held by the pedal or released.
  void ReleaseNote(uint32_t time, int16_t channel, int16_t key, int16_t velocity);
  ug_container* Voices() const;
  ug_notesource& Model() const { return *model_; }

  int16_t channel_ = -1;  // the "Channel" plug's value: -1 takes every channel

 private:
  void OnMidi(uint32_t time, uint32_t word);
  void OnController(uint32_t time, int16_t channel, int32_t number, int32_t value);
  void SetChannelFilter();

  ug_notesource* model_ = this;
  std::unique_ptr<ChannelTable> channels_;  // the model's; copies read it
  std::array<bool, 16> sustain_{};
  int16_t rpn_ = 0;  // -1 after a non-registered parameter was selected
  int16_t data_entry_ = 0;
  int16_t note_channel_ = 0;
  int16_t note_key_ = 0;
  int32_t voice_ = 0;
  std::vector<ug_base*> retrigger_targets_;
};

}  // namespace ov
