// "Oscillator" (ug_oscillator2): a band-limited wavetable oscillator with
// sine, saw, ramp, triangle, pulse, white and pink noise; 1 V/octave or
// 1 V/kHz pitch, pulse width, phase modulation and hard sync.
//
// The phase is an unsigned 32-bit count (2^32 = one cycle) that wraps by
// itself. Pitch becomes a phase increment through the pitch table (no 2^x per
// sample); the waveform is read from the richest table of its set whose top
// harmonic stays under Nyquist, with 20-sample cross-fades when the table
// changes and 4-sample cross-fades at a sync reset.
//
// Threads: built, opened and closed on the editor thread (the shared tables
// are fetched there); everything else on the audio thread, where nothing
// allocates or locks. Tables are shared read-only with every other
// oscillator in the process; noise state is shared only by the oscillators of
// one engine (one plug-in instance).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/ug_base.h"
#include "modules/plug_members.h"
#include "modules/wavetables.h"

namespace ov {

class ug_oscillator2 : public ug_base {
 public:
  enum Plug : int32_t {
    kPitch = 0,
    kPulseWidth = 1,
    kWaveform = 2,
    kAudioOut = 3,
    kSync = 4,
    kPhaseMod = 5,
    kFreqScale = 6,
    kPmDepth = 7,
    kSmoothPeaks = 8,
    kSyncFade = 9,
  };
  enum Waveform : int16_t {
    kSine = 0,
    kSaw = 1,
    kRamp = 2,
    kTriangle = 3,
    kPulse = 4,
    kWhiteNoise = 5,
    kPinkNoise = 6,
  };
  static constexpr int32_t kTableFadeSamples = 20;
  static constexpr int32_t kSyncFadeSamples = 4;

  ug_oscillator2();
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;
  bool HasLaneKernels() const override { return true; }
  LaneKernel LaneKernelNow() const override;

  // Pitch sample to phase increment. Audio thread.
  static uint32_t IncrementFor(const OscillatorTables& tables, float pitch, bool volts_per_khz);
  // The noise generator's step: the next state after `state`, and the white
  // value of a state, uniform in [-0.5, 0.5).
  static uint32_t NextNoiseState(uint32_t state) { return state * 1664525u + 1013904223u; }
  static float WhiteValue(uint32_t state);

  // For tests: the current table's top harmonic (0 silent, -1 none), the
  // increment, the phase.
  int32_t TopHarmonic() const { return table_ != nullptr ? table_->top_harmonic : -1; }
  uint32_t PhaseIncrement() const { return increment_; }
  uint32_t Phase() const { return phase_; }

 private:
  friend struct OscillatorLanes;
  enum class Shape { kPlain, kRamp, kPulse };

  template <Shape S, bool kPitchRuns, bool kPmRuns, bool kPwRuns>
  void Render(int32_t position, int32_t count);
  template <Shape S, bool kPitchRuns, bool kPmRuns, bool kPwRuns>
  void RenderFast(int32_t from, int32_t to);
#if defined(__x86_64__)
  // RenderFast with every control still, 8 or 16 samples at a time in the
  // AVX2 or AVX-512 build (oscillator_lanes.cpp); the same samples.
  template <Shape S>
  static void RenderStillWide(ug_oscillator2& osc, int32_t from, int32_t to);
#endif
  template <Shape S, bool kPitchRuns, bool kPmRuns, bool kPwRuns>
  void RenderFading(int32_t index);
  void RenderWhite(int32_t position, int32_t count);
  void RenderPink(int32_t position, int32_t count);
  void RenderSilence(int32_t position, int32_t count);

  static void StartAtClock(ug_base& generator);
  void Start();
  void SelectRender();
  void SelectTableSet();
  // The table for increment `increment`; `force` ignores the
  // hysteresis range and a running cross-fade (a new table set).
  void ChooseTable(uint32_t increment, bool force = false);
  void UpdateIncrement(float pitch);
  // The pulse's second saw lags by d = (1 - w) x 2^31.
  static uint32_t PulseOffsetFor(float width);
  void UpdatePulseOffset(float width);
  // The phase-modulation offset (wrapped to 32 bits) for PM x depth.
  static uint32_t PmOffset(float phase_mod, float depth);
  void ApplyPmChange(uint32_t offset);
  // A sync reset with the new phase `phase`.
  void ResetPhase(uint32_t phase);
  // Index of the first rising sync crossing in [from, to), or `to`; updates
  // the sync state up to it.
  int32_t ScanSync(int32_t from, int32_t to);
  bool IsNoise() const { return waveform_ == kWhiteNoise || waveform_ == kPinkNoise; }

  // Plug members.
  float* pitch_ = nullptr;
  float* pulse_width_ = nullptr;
  int16_t waveform_ = kSaw;
  float* out_ = nullptr;
  float* sync_ = nullptr;
  float* phase_mod_ = nullptr;
  int16_t freq_scale_ = 0;
  float* pm_depth_ = nullptr;
  bool smooth_peaks_ = true;
  // RenderStillWide's build: the engine's lane mode when it runs vector
  // builds, else kOff (RenderStillWide never runs).
  LaneMode still_build_ = LaneMode::kOff;
  bool sync_fade_ = true;

  std::shared_ptr<const OscillatorTables> tables_;
  uint32_t* noise_state_ = nullptr;  // the engine's, shared by its oscillators

  uint32_t phase_ = 0;
  uint32_t increment_ = 0;
  uint32_t pm_offset_ = 0;     // wrapped two's complement of PM x depth x 2^32
  uint32_t pulse_offset_ = 0;  // (1 - w) x 2^31
  const OscTableSet* table_set_ = nullptr;
  const OscWavetable* table_ = nullptr;
  const OscWavetable* fade_table_ = nullptr;  // the old table during a cross-fade
  uint32_t range_lower_ = 0;                  // hysteresis range of the current table
  uint32_t range_upper_ = 0;
  int32_t table_fade_left_ = 0;
  float table_fade_x_ = 0.0f;
  int32_t sync_fade_left_ = 0;
  float sync_fade_x_ = 0.0f;
  uint32_t sync_jump_ = 0;     // old phase - new phase
  bool sync_low_ = true;       // the last sync sample was <= 0
  uint32_t sync_elapsed_ = 0;  // phase since the last crossing, at its sample
  float sync_last_ = 0.0f;
  bool pitch_runs_ = false;
  bool pm_runs_ = false;
  bool pw_runs_ = false;
  bool sync_runs_ = false;
  float pink_[6] = {};
};

}  // namespace ov
