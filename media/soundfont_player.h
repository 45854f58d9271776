// "Soundfont Player": a note source that takes MIDI on 16 channels, each
// with its own bank, preset and on-switch, plays every note in a voice of
// its own and shapes it with the volume envelope of the note's zone.
// "Sample Player obsolete" keeps old projects loading: a note source whose
// outputs carry nothing.
//
// Threads: as ug_notesource; the bank hand-over as ug_soundfont_user.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/ug_notesource.h"
#include "media/soundfont_user.h"

namespace ov {

class ug_sample_player2 : public ug_notesource, public ug_soundfont_user {
 public:
  enum Plug : int32_t { kMidiIn, kLeftOut, kRightOut, kBank, kPatch };
  enum Stage : int32_t { kAttack, kDecay, kSustain, kRelease, kIdle };

  ug_sample_player2();
  std::unique_ptr<ug_base> CreateInstance() const override;
  std::unique_ptr<ug_base> Clone() override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void Close() override;
  void HandleEvent(ug_event& event) override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;
  void OnNotify(int32_t kind, int32_t value) override;

  Stage EnvelopeStage() const { return stage_; }
  float EnvelopeLevel() const { return level_; }
  uint32_t IncrementNow() const { return increment_; }

  // Samples a ramp of duration parameter `p` lasts at `rate`: 2^(timecents
  // / 1200) seconds, at least 1, at most 2^30.
  static int64_t RampSamples(double p, double rate);
  // 1 - gen 37 / 1000, kept to 0 .. 1.
  static float SustainLevel(int16_t gen37);

 protected:
  void OnBankSelect(int16_t channel, int32_t bank) override;
  void OnPatchChange(int16_t channel, int32_t program) override;
  void OnVoiceNoteOn(uint32_t time, int16_t velocity) override;
  void OnVoiceNoteOff(uint32_t time) override;
  void OnVoiceRetrigger(uint32_t time) override;
  void OnVoiceBend(uint32_t time, int32_t value) override;

 private:
  ug_soundfont_user* NextUser() const override {
    return static_cast<ug_sample_player2*>(NextClone());
  }
  void OnBankGone() override;
  void ComputeIncrement();
  void EnterStage(Stage stage, uint32_t now);
  void Ramp(float target, float p, uint32_t now);
  void EndSound(int32_t index, int32_t end);
  // The index in the engine block of sample time `time`.
  int32_t IndexOf(uint32_t time) const;
  void Process(int32_t position, int32_t count);
  template <bool kStereo>
  bool Render(int32_t position, int32_t count);
  void Silence(int32_t position, int32_t count);

  float* left_ = nullptr;
  float* right_ = nullptr;
  int16_t bank_in_ = 0;
  int16_t patch_in_ = 0;

  float bend_ = 0.0f;
  Stage stage_ = kIdle;
  float level_ = 0.0f;
  float step_ = 0.0f;
  uint32_t stage_end_ = 0;  // sample time the stage ends at, when it has an end
  bool has_end_ = false;
  float attack_ = 0.0f, decay_ = 0.0f, sustain_ = 0.0f, release_ = 0.0f;
  bool stereo_ = false;
  bool sounding_ = false;
  int32_t silent_countdown_ = 0;
};

class ug_sample_player : public ug_notesource {
 public:
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;

 private:
  void Silence(int32_t position, int32_t count);
  float* left_ = nullptr;
  float* right_ = nullptr;
  std::string file_name_;
};

}  // namespace ov
