// "Midi to CV": turns a voice's note into gate, pitch, velocity and
// aftertouch signals, with mono mode, note priority, legato retrigger,
// portamento and pitch bend.
//
// Threads: as ug_notesource.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "engine/smart_output.h"
#include "engine/ug_notesource.h"

namespace ov {

class ug_midi_to_cv : public ug_notesource {
 public:
  enum Plug : int32_t {
    kBendRange = 2,
    kGate,
    kPitch,
    kVelocity,
    kAftertouch,
    kMonoMode,
    kRetrigger,
    kPortamentoTime,
    kMonoNotePriority,
  };
  enum Priority : int16_t { kPriorityOff, kPriorityLow, kPriorityHigh, kPriorityLast };

  // Pitch in volts / 10: key 69 at 5 V, 1/120 per semitone.
  static float KeyPitch(int32_t key);
  // Samples a glide lasts for a "Portamento Time" of x (volts / 10).
  static double GlideSamples(float portamento, float sample_rate);

  ug_midi_to_cv();
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void SetUpBuffers() override;
  void Resume() override;

 protected:
  void OnNoteOn(uint32_t time, int16_t channel, int16_t key, int16_t velocity) override;
  void OnNoteOff(uint32_t time, int16_t channel, int16_t key, int16_t velocity) override;
  void OnVoiceNoteOn(uint32_t time, int16_t velocity) override;
  void OnVoiceNoteOff(uint32_t time) override;
  void OnVoiceBend(uint32_t time, int32_t value) override;
  void OnVoicePressure(uint32_t time, int32_t pressure) override;
  void OnVoiceGlide(ug_event& event) override;

 private:
  void Run(int32_t position, int32_t count);
  void WritePitch(int32_t position, int32_t count, bool& can_sleep);
  void AdvanceGlideTracking(int32_t count);
  void RunAtFullRate();
  float PortamentoNow() const;
  // The key mono mode plays when `released` goes up, or -1.
  int16_t KeyAfterRelease(int16_t released);
  static void ApplyGate(ug_base& generator);

  // Plug members.
  int16_t bend_range_ = 12;
  float* gate_ = nullptr;
  float* pitch_ = nullptr;
  float* velocity_ = nullptr;
  float* aftertouch_ = nullptr;
  int16_t mono_mode_ = 0;
  int16_t retrigger_ = 1;
  float* portamento_ = nullptr;
  int16_t priority_ = kPriorityLast;

  // The model's keyboard.
  std::array<bool, 128> key_down_{};
  std::array<int16_t, 128> key_velocity_{};
  std::array<int16_t, 16> history_;
  int32_t history_index_ = 0;
  int16_t mono_key_ = -1;
  float target_pitch_ = 0.0f;
  float glide_pitch_ = 0.0f;
  float glide_increment_ = 0.0f;

  // This voice's pitch: glide plus bend, each ramping to its target.
  float glide_value_ = 0.0f;
  float glide_target_ = 0.0f;
  float glide_step_ = 0.0f;
  float bend_value_ = 0.0f;
  float bend_target_ = 0.0f;
  float bend_step_ = 0.0f;
  int32_t pitch_countdown_ = 0;
  float gate_to_apply_ = 0.0f;
  smart_output gate_out_;
  smart_output velocity_out_;
  smart_output aftertouch_out_;
};

}  // namespace ov
