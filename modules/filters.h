// The filter modules, one family per source file:
//   filters_one_pole.cpp        "1 Pole LP", "1 Pole HP", "All Pass"
//   filters_moog.cpp            "Moog Filter" (and the obsolete "Filter2
//                               obsolete" and "Filter obs", same generator)
//   filters_parametric.cpp      "Parametric EQ"
//   filters_state_variable.cpp  "SV Filter"
// Each computes its coefficients only when "Pitch", "Resonance" (or
// "Boost/Cut") change, unless one of them streams; then per sample.
//
// Threads: as ug_filter (filter_common.h).
#pragma once

#include <memory>

#include "engine/lookup_table.h"
#include "modules/filter_common.h"

namespace ov {

// One-pole low-pass: y = x + a (y - x), a = exp(-2 pi f / fs), f at most
// 0.495 fs. Plugs: "Signal", "Pitch", "Output", "Freq Scale".
class ug_filter_1pole : public ug_filter {
 public:
  static constexpr float kMaxCutoff = 0.495f;  // x the sample rate

  // The high-pass is the same filter with the other output.
  explicit ug_filter_1pole(bool high_pass = false);
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;

  // The coefficient a for a pitch sample.
  float Coefficient(float pitch) const;
  bool HasLaneKernels() const override { return true; }
  LaneKernel LaneKernelNow() const override;

 protected:
  void Initialise(float signal) override { y_ = signal; }
  void UpdateCoefficients() override;
  bool ControlsStream() const override;
  void SelectRun() override;
  void ResetNonFinite() override;
  bool Settle(float input) override;
  float SettledValue(float* const* output_member, float input) const override;

 private:
  friend struct OnePoleLanes;
  template <bool kPitchRuns, bool kHighPass>
  void Run(int32_t position, int32_t count);

  float* out_ = nullptr;
  bool high_pass_;
  std::shared_ptr<const ULookup> table_;  // "1 pole l"
  float a_ = 0.0f;
  float y_ = 0.0f;
};

// One-pole high-pass: the input minus the one-pole low-pass.
class ug_filter_1pole_hp : public ug_filter_1pole {
 public:
  ug_filter_1pole_hp() : ug_filter_1pole(true) {}
  std::unique_ptr<ug_base> CreateInstance() const override;
};

// Second-order all-pass (b - a z^-1 + z^-2) / (1 - a z^-1 + b z^-2).
// Plugs: "Signal", "Pitch", "Resonance", "Output", "Freq Scale".
class ug_filter_allpass : public ug_filter {
 public:
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;

  // The coefficients (a, b) for a pitch and resonance sample.
  void Coefficients(float pitch, float resonance, float& a, float& b) const;

 protected:
  void Initialise(float) override { s1_ = s2_ = 0.0f; }
  void UpdateCoefficients() override;
  bool ControlsStream() const override;
  void SelectRun() override;
  void ResetNonFinite() override;
  bool Settle(float input) override;
  float SettledValue(float* const*, float input) const override { return input; }

 private:
  template <bool kControlsRun>
  void Run(int32_t position, int32_t count);

  float* resonance_ = nullptr;
  float* out_ = nullptr;
  std::shared_ptr<const ULookup> table_a_;  // exp(-2 pi i / 512)
  std::shared_ptr<const ULookup> table_b_;  // 2 cos(2 pi i / 512)
  float a_ = 0.0f;
  float b_ = 0.0f;
  float s1_ = 0.0f;
  float s2_ = 0.0f;
};

// The Moog soft clip: y - y^3/6, or 0 where that would flip the sign. As
// y (1 - y^2/6) the sign test is a clamp of the second factor at 0, and the
// chain through it is three operations shorter.
inline float MoogSoftClip(float y) {
  const float factor = 1.0f - 0.16666667f * (y * y);
  return y * (factor < 0.0f ? 0.0f : factor);
}

// Four-pole ladder low-pass with soft clipping. Plugs: "Signal", "Pitch",
// "Resonance", "Output", "Mode", "Boost/Cut" (the last two unused),
// "Freq Scale".
class ug_filter_biquad : public ug_filter {
 public:
  static constexpr float kMaxCutoff = 0.495f;  // x the sample rate

  ug_filter_biquad();
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;

  struct Coefficients {
    float p;
    float k;
    float scale;  // the resonance is multiplied by it
  };
  Coefficients CoefficientsFor(float pitch) const;
  bool HasLaneKernels() const override { return true; }
  LaneKernel LaneKernelNow() const override;

 protected:
  void Initialise(float) override;
  void UpdateCoefficients() override;
  bool ControlsStream() const override;
  void SelectRun() override;
  void ResetNonFinite() override;
  bool Settle(float input) override;
  bool SettlesAtOnce() const override { return false; }
  float SettledValue(float* const*, float) const override { return out_[0]; }

 private:
  friend struct MoogLanes;
  template <bool kControlsRun>
  void Run(int32_t position, int32_t count);

  float* resonance_ = nullptr;
  float* out_ = nullptr;
  int16_t mode_ = 0;
  float* boost_cut_ = nullptr;
  std::shared_ptr<const ULookup> table_k_;      // "Moog LP kp"
  std::shared_ptr<const ULookup> table_scale_;  // "Moog LP Scale"
  float p_ = 0.0f;
  float k_ = 0.0f;
  float r_ = 0.0f;
  float x_old_ = 0.0f;
  float y1_ = 0.0f, y1_old_ = 0.0f;
  float y2_ = 0.0f, y2_old_ = 0.0f;
  float y3_ = 0.0f, y3_old_ = 0.0f;
  float y4_ = 0.0f;
};

// Peaking equaliser of the audio-EQ cookbook. Plugs as the Moog filter;
// "Boost/Cut" is the gain at the centre (10 dB per volt), "Resonance" the
// bandwidth (1 octave per volt).
class ug_filter_eq_parametric : public ug_filter {
 public:
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;

  // Normalised coefficients {b0, b1, b2, a1, a2}.
  struct Coefficients {
    float b0, b1, b2, a1, a2;
  };
  Coefficients CoefficientsFor(float pitch, float resonance, float boost_cut) const;

 protected:
  void Initialise(float) override { x1_ = x2_ = y1_ = y2_ = 0.0f; }
  void UpdateCoefficients() override;
  bool ControlsStream() const override;
  void SelectRun() override;
  void ResetNonFinite() override;
  bool Settle(float input) override;
  float SettledValue(float* const*, float input) const override { return input; }

 private:
  template <bool kControlsRun>
  void Run(int32_t position, int32_t count);

  float* resonance_ = nullptr;
  float* out_ = nullptr;
  int16_t mode_ = 0;
  float* boost_cut_ = nullptr;
  Coefficients c_{1.0f, 0.0f, 0.0f, 0.0f, 0.0f};
  float x1_ = 0.0f, x2_ = 0.0f, y1_ = 0.0f, y2_ = 0.0f;
};

// Chamberlin state-variable filter with low, high, band and notch outputs.
// Plugs: "Signal", "Pitch", "Resonance", "Low Pass", "Hi Pass", "Band
// Pass", "Band Reject", "Freq Scale".
class ug_filter_sv : public ug_filter {
 public:
  static constexpr float kMaxResonance = 0.9992f;

  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;

  struct Coefficients {
    float f;  // frequency coefficient, already limited
    float q;  // damping
  };
  Coefficients CoefficientsFor(float pitch, float resonance) const;
  bool HasLaneKernels() const override { return true; }
  LaneKernel LaneKernelNow() const override;

 protected:
  void Initialise(float signal) override {
    low_ = signal;
    band_ = 0.0f;
  }
  void UpdateCoefficients() override;
  bool ControlsStream() const override;
  void SelectRun() override;
  void ResetNonFinite() override;
  bool Settle(float input) override;
  float SettledValue(float* const* output_member, float input) const override;

 private:
  friend struct StateVariableLanes;
  // Which outputs are computed.
  enum Outputs { kAll, kLowOnly, kHighOnly };
  template <bool kControlsRun, Outputs kOutputs>
  void Run(int32_t position, int32_t count);

  float* resonance_ = nullptr;
  float* low_pass_ = nullptr;
  float* high_pass_ = nullptr;
  float* band_pass_ = nullptr;
  float* band_reject_ = nullptr;
  std::shared_ptr<const ULookup> cutoff_table_;  // "ug_filter_sv Cutoff"
  std::shared_ptr<const ULookup> limit_table_;   // "ug_filter_sv Resonance Limit"
  Outputs computed_ = kAll;
  Coefficients c_{0.0f, 2.0f};
  float low_ = 0.0f;
  float band_ = 0.0f;
};

}  // namespace ov
