// "Drum Trigger": MIDI notes become trigger and velocity signals for fifteen
// fixed drums. Each drum whose outputs are connected plays in a voice of its
// own, so a drum's sound is made by the same generators at every hit.
//
// Threads: as ug_notesource.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "engine/smart_output.h"
#include "engine/ug_notesource.h"

namespace ov {

class ug_drum_trigger : public ug_notesource {
 public:
  static constexpr int32_t kDrumCount = 15;
  static constexpr int32_t kHiHat = 42;  // the hi-hat's drum index
  enum Plug : int32_t {
    kOpenHiHatDecay = 2,
    kPedalHiHatDecay,
    kClosedHiHatDecay,
    kHiHatDecayOut = 11,
    kFirstUserNote = 32,
  };

  ug_drum_trigger();
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void SetUpBuffers() override;
  void Open() override;
  void Resume() override;
  void HandleEvent(ug_event& event) override;
  bool IsPolyphonic() const override { return false; }
  int32_t AssignVoiceGroups() override;

  // The drum a note plays: a user drum (0 to 3) when the note is one of the
  // four user notes, else the drum index of the standard note; -1 for none.
  int32_t DrumIndexOf(int32_t note) const;
  // The voice group of drum record `record`, -1 when its outputs were not
  // connected at the engine build.
  int32_t GroupOf(int32_t record) const { return drums_[static_cast<size_t>(record)].group; }

 private:
  struct Drum {
    int32_t index = 0;
    int32_t group = -1;
    int32_t trig_plug = 0;
    int32_t vel_plug = 0;
    float* trig = nullptr;
    smart_output velocity;
    float gate = 0.0f;
    uint32_t last_hit = 0;
    int32_t fill_countdown = 0;
  };

  void OnMidiNote(uint32_t time, uint32_t word);
  void Hit(uint32_t time, int32_t record, int16_t velocity);
  void SetGate(uint32_t time, int32_t record, int32_t value);
  int32_t RecordOf(int32_t drum) const;
  float InputNow(const float* input) const;
  void Run(int32_t position, int32_t count);

  std::array<Drum, kDrumCount> drums_;
  std::array<int16_t, 58> record_of_drum_;  // by drum index; -1: none
  std::array<int16_t, 4> user_notes_ = {62, 64, 70, 37};
  float* open_decay_ = nullptr;
  float* pedal_decay_ = nullptr;
  float* closed_decay_ = nullptr;
  float* decay_out_ = nullptr;
  float decay_ = 0.0f;
  int32_t decay_fill_ = 0;
  int32_t minimum_gate_ = 0;  // samples: 20 ms
};

}  // namespace ov
