// What the filter modules share: the cutoff convention of "Pitch" and
// "Freq Scale", the coefficient tables, the denormal guard, and ug_filter,
// the base that follows the inputs' stream states, resets non-finite state
// and lets a filter whose input is static settle, hold its output for one
// engine block and sleep.
//
// Coefficient tables: 514 floats each, entry i standing for the pitch
// sample i/512 (10 i/512 V), from the engine's named lookup tables: built
// once under the tables' lock on the editor thread (at open), keyed by the
// sample rate where they depend on it, and immutable afterwards, so
// instances at different rates never disturb each other.
//
// Threads: as ug_base. Open on the editor thread; process functions and
// status changes on the audio thread, where nothing allocates or locks.
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "engine/lookup_table.h"
#include "engine/ug_base.h"
#include "modules/plug_members.h"

namespace ov {

inline constexpr int32_t kCoefficientEntries = 514;
inline constexpr double kTwoPi = 6.283185307179586;

// Pitch sample to Hz: 440 x 2^(10x - 5) under 1 V/octave (5 V = 440 Hz),
// x x 10000 under 1 V/kHz.
inline double PitchToHz(float pitch, bool volts_per_khz) {
  return volts_per_khz ? static_cast<double>(pitch) * 10000.0
                       : 440.0 * std::exp2(10.0 * static_cast<double>(pitch) - 5.0);
}
// The frequency that coefficient-table entry i stands for.
inline double EntryHz(int32_t i) { return 440.0 * std::exp2(i * 0.01953125 - 5.0); }

// A table of kCoefficientEntries entries, entry(i) each, shared under `name`
// and `size_key` (SampleRateKey(rate), or -1 when it does not depend on the
// rate). Editor thread.
std::shared_ptr<const ULookup> CoefficientTable(std::string_view name, int32_t size_key,
                                                const std::function<double(int32_t)>& entry);
// Linear interpolation at x x 512; x below 0 (or NaN) reads entry 0, x at or
// above 1 reads entry 512. Every index goes through the saturating cast.
float LookupCoefficient(const ULookup& table, float x);

// Flushes values below about 1e-18 to 0, so that decaying state never turns
// denormal. From 2^-34 up adding and taking away 1e-18 gives the value back
// exactly (checked for every float), so a predictable branch keeps those two
// additions out of a recurrence's latency while the result stays the same.
inline float Guard(float state) {
  if (__builtin_expect(!(__builtin_fabsf(state) < 0x1p-34f), 1)) return state;
  return (state + 1e-18f) - 1e-18f;
}

class ug_filter : public ug_base {
 public:
  void Open() override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;
  // Every filter reads its inputs through the members at each call.
  bool InputBlocksMayMove() const override { return true; }

 protected:
  // The settle check runs after this many engine blocks of processing with
  // every input still.
  explicit ug_filter(int32_t settle_blocks = 1);

  float SampleRate() const { return sample_rate_; }
  bool VoltsPerKhz() const { return freq_scale_ == 1; }

  // --- What each filter supplies.
  // At open, and while nothing has been processed yet, with the "Signal"
  // value when "Signal" does not stream.
  virtual void Initialise(float signal) = 0;
  // Coefficients from the control inputs' values at the clock.
  virtual void UpdateCoefficients() = 0;
  // Whether a control input streams (coefficients then follow per sample).
  virtual bool ControlsStream() const = 0;
  // Picks the process function for the current streams (ControlsRun() says
  // whether the controls stream).
  virtual void SelectRun() = 0;
  // ControlsStream() as of the last change of an input's state.
  bool ControlsRun() const { return controls_run_; }
  // Sets every state that is not a finite number to 0.
  virtual void ResetNonFinite() = 0;
  // With every input still and `input` the held "Signal" value: true when
  // the filter has settled, having set its state to rest there.
  virtual bool Settle(float input) = 0;
  // Whether Settle may be asked at once at a status change (false for
  // filters that judge from the output they have written).
  virtual bool SettlesAtOnce() const { return true; }
  // The constant an output holds once settled.
  virtual float SettledValue(float* const* output_member, float input) const = 0;

  // Every run function calls this at its end: resets non-finite state, and
  // with every input still, checks from time to time whether the filter has
  // settled; if so the outputs hold their settled values for one engine
  // block and the generator sleeps.
  void AfterRun(int32_t count);

  float* signal_ = nullptr;
  float* pitch_ = nullptr;
  int16_t freq_scale_ = 0;

 private:
  void Hold(int32_t position, int32_t count);
  void TransmitOutputs(uint32_t time, int32_t state);
  void FollowInputs(uint32_t time);

  std::vector<UPlug*> outputs_;
  float sample_rate_ = 44100.0f;
  int32_t settle_blocks_;
  int32_t since_check_ = 0;
  float held_input_ = 0.0f;
  bool fresh_ = true;  // nothing processed since open
  bool settled_ = false;
  bool signal_runs_ = false;
  bool controls_run_ = false;
};

}  // namespace ov
