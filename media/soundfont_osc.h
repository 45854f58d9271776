// "Soundfont Oscillator": plays one preset of a SoundFont bank like an
// oscillator. A rising "Gate" starts the zone for the key "Pitch" names and
// the velocity "Velocity" gives; "Pitch" bends it by one octave per volt;
// the sample plays through to its end, or loops as its zone says (mode 3
// only while the gate stays high).
//
// Threads: as ug_base; the bank hand-over as ug_soundfont_user.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/ug_base.h"
#include "media/soundfont_user.h"

namespace ov {

class ug_osc_sf : public ug_base, public ug_soundfont_user {
 public:
  enum Plug : int32_t {
    kUnused,
    kBank,
    kPatch,
    kGate,
    kPitch,
    kVelocity,
    kLeft,
    kRight,
    kIgnoreProgramChange
  };

  ug_osc_sf();
  std::unique_ptr<ug_base> CreateInstance() const override;
  std::unique_ptr<ug_base> Clone() override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void Close() override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;
  void OnNotify(int32_t kind, int32_t value) override;

  bool Playing() const { return playing_; }
  uint32_t IncrementNow() const { return increment_; }

 private:
  using Renderer = void (ug_osc_sf::*)(int32_t position, int32_t count);

  ug_soundfont_user* NextUser() const override {
    return static_cast<ug_osc_sf*>(NextClone());
  }
  void OnBankGone() override;
  void StartNote(int32_t index, float pitch, float velocity);
  void EndSound(int32_t index, int32_t end);
  void ChooseRenderer();
  uint32_t IncrementAt(float pitch) const;
  void GateScanner(int32_t position, int32_t count);
  void RunRenderer(int32_t position, int32_t count) { (this->*renderer_)(position, count); }
  template <bool kStereo, bool kPitchRuns>
  void Render(int32_t position, int32_t count);
  void RenderSilence(int32_t position, int32_t count);
  // Bank or preset input changed: the new choice, and the note again.
  void ChoiceChanged(bool bank);

  std::string unused_;
  int16_t bank_in_ = 0;
  int16_t patch_in_ = 0;
  float* gate_ = nullptr;
  float* pitch_ = nullptr;
  float* velocity_ = nullptr;
  float* left_ = nullptr;
  float* right_ = nullptr;
  bool ignore_program_change_ = true;

  bool gate_high_ = false;
  bool playing_ = false;
  float pitch_base_ = 0.5f;
  float pitch_scale_ = 10.0f;
  Renderer renderer_ = &ug_osc_sf::RenderSilence;
  int32_t silent_countdown_ = 0;
};

}  // namespace ov
