// "Phase Dist Osc": one cosine cycle read through a bent phase. For Saw,
// Square, Pulse, Dbl Sine and Saw-Pulse each cycle's phase passes through a
// piecewise-linear curve whose knees move with "Modulation Depth" (a plain
// cosine at depth 0); the Reso waves play a cosine at 1 + 10 x depth times
// the fundamental under a window that repeats every cycle. "Wave1" and
// "Wave2" alternate cycle by cycle. A fixed one-pole filter at about 7 Hz
// takes the DC out.
//
// Pitch follows the "Oscillator" (the shared pitch table, 1 V/octave or
// 1 V/kHz); above Nyquist less a sixth of an octave the oscillator is silent
// and holds its phase. No transcendental function runs per sample: the
// cosine is a shared 512-point table read with linear interpolation, and the
// breakpoint search starts from the previous sample's segment.
//
// Threads: built and opened on the editor thread (the shared tables are
// fetched there); status changes and rendering on the audio thread, where
// nothing allocates or locks. The tables are read-only and shared by every
// instance; everything else, the DC coefficient included, is per oscillator.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/ug_base.h"
#include "modules/wavetables.h"

namespace ov {

class ug_oscillator_pd : public ug_base {
 public:
  enum Plug : int32_t { kPitch, kDepth, kAudioOut, kWave1, kWave2, kFreqScale };
  enum Wave : int16_t {
    kNone = -1,
    kSaw,
    kSquare,
    kPulse,
    kDoubleSine,
    kSawPulse,
    kReso1,
    kReso2,
    kReso3,
  };
  static constexpr float kMaxDepth = 0.97f;
  // The highest increment that plays: 2^31 x 2^(-1/6).
  static constexpr uint32_t kUpperIncrement = 1913190126u;
  static constexpr int32_t kCosineEntries = 514;

  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;

  // 0.5 cos(2 pi j / 512) for j = 0 ... 513, built once. Any thread.
  static const std::array<float, kCosineEntries>& CosineTable();
  // The table read at `cycles` (1.0 = one cycle), taken modulo one cycle.
  static float Cosine(const std::array<float, kCosineEntries>& table, float cycles);

  // For tests.
  uint32_t Phase() const { return phase_; }
  uint32_t PhaseIncrement() const { return increment_; }
  bool IsSilent() const { return silent_; }

 private:
  struct Breakpoint {
    float position;  // a
    float phase;     // b: the output phase at the knee
    float shift;     // c: knee movement per depth, or the window value
  };
  static constexpr int32_t kMaxBreakpoints = 12;

  void BuildSlots();
  void UpdateIncrement(float pitch);
  void SelectRender();
  static void StartAtClock(ug_base& generator);
  // One sample of the current slot at depth `w` (limited), before the DC
  // filter.
  float Shape(float w);
  void AdvancePhase();
  template <bool kPitchRuns>
  void Render(int32_t position, int32_t count);
  void RenderSilentStreaming(int32_t position, int32_t count);
  void RenderZeros(int32_t position, int32_t count);

  // Plug members.
  float* pitch_ = nullptr;
  float* depth_ = nullptr;
  float* out_ = nullptr;
  int16_t wave1_ = kSaw;
  int16_t wave2_ = kSaw;
  int16_t freq_scale_ = 0;

  std::shared_ptr<const OscillatorTables> tables_;
  const std::array<float, kCosineEntries>* cosine_ = nullptr;
  uint32_t phase_ = 0;
  uint32_t increment_ = 0;
  float dc_ = 0.0f;
  float dc_coefficient_ = 0.0f;
  bool silent_ = false;
  bool pitch_runs_ = false;
  std::array<Breakpoint, kMaxBreakpoints> breakpoints_{};
  // The first record of each slot, then 0; the end of each slot's records.
  std::array<int32_t, 3> slot_start_{};
  std::array<int32_t, 2> slot_end_{};
  std::array<bool, 2> resonant_{};
  int32_t slots_ = 0;
  int32_t slot_ = 0;
  int32_t current_ = 0;  // the breakpoint starting the current segment
};

}  // namespace ov
