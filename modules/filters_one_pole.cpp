// "1 Pole LP", "1 Pole HP" and "All Pass".
#include <algorithm>
#include <cmath>

#include "engine/audio_master.h"
#include "modules/descriptors/plug_tables.h"
#include "modules/filters.h"
#include "engine/lookup_table.h"

namespace ov {

// --- One pole.

ug_filter_1pole::ug_filter_1pole(bool high_pass) : high_pass_(high_pass) {}

std::unique_ptr<ug_base> ug_filter_1pole::CreateInstance() const {
  return std::make_unique<ug_filter_1pole>();
}

std::unique_ptr<ug_base> ug_filter_1pole_hp::CreateInstance() const {
  return std::make_unique<ug_filter_1pole_hp>();
}

void ug_filter_1pole::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kFilter1PolePlugs, {signal_, pitch_, out_, freq_scale_}, descriptors);
}

void ug_filter_1pole::Open() {
  const float rate = Master()->SampleRate();
  table_ = CoefficientTable("1 pole l", SampleRateKey(rate), [rate](int32_t i) {
    const double hz = std::min(EntryHz(i), kMaxCutoff * static_cast<double>(rate));
    return std::exp(-kTwoPi * hz / rate);
  });
  ug_filter::Open();
}

float ug_filter_1pole::Coefficient(float pitch) const {
  if (!VoltsPerKhz() && pitch >= 0.0f) return LookupCoefficient(*table_, std::min(pitch, 1.0f));
  const double rate = SampleRate();
  // Negative frequencies (1 V/kHz) are taken as 0 Hz.
  double hz = PitchToHz(pitch, VoltsPerKhz());
  hz = std::isnan(hz) ? 0.0 : std::clamp(hz, 0.0, kMaxCutoff * rate);
  return static_cast<float>(std::exp(-kTwoPi * hz / rate));
}

void ug_filter_1pole::UpdateCoefficients() { a_ = Coefficient(SampleNow(pitch_)); }

bool ug_filter_1pole::ControlsStream() const { return Streams(*this, &pitch_); }

void ug_filter_1pole::SelectRun() {
  const bool pitch_runs = ControlsRun();
  if (high_pass_) {
    SetProcessFunction(pitch_runs ? &ug_filter_1pole::Run<true, true>
                                  : &ug_filter_1pole::Run<false, true>);
  } else {
    SetProcessFunction(pitch_runs ? &ug_filter_1pole::Run<true, false>
                                  : &ug_filter_1pole::Run<false, false>);
  }
}

template <bool kPitchRuns, bool kHighPass>
void ug_filter_1pole::Run(int32_t position, int32_t count) {
  const float* in = signal_;
  float* out = out_;
  float a = a_;
  float y = y_;
  for (int32_t k = position; k < position + count; ++k) {
    if constexpr (kPitchRuns) a = Coefficient(pitch_[k]);
    const float x = in[k];
    y = Guard(x + a * (y - x));
    out[k] = kHighPass ? x - y : y;
  }
  a_ = a;
  y_ = y;
  AfterRun(count);
}

// The lane kernels look for these.
template void ug_filter_1pole::Run<false, false>(int32_t, int32_t);
template void ug_filter_1pole::Run<false, true>(int32_t, int32_t);
template void ug_filter_1pole::Run<true, false>(int32_t, int32_t);
template void ug_filter_1pole::Run<true, true>(int32_t, int32_t);

void ug_filter_1pole::ResetNonFinite() {
  if (!std::isfinite(y_)) y_ = 0.0f;
}

bool ug_filter_1pole::Settle(float input) {
  const float next = (y_ - input) * a_ + input;
  if (next != y_ && !(std::fabs(input - y_) < 1e-6f)) return false;
  y_ = input;  // exactly: the low-pass then gives the input, the high-pass 0
  return true;
}

float ug_filter_1pole::SettledValue(float* const*, float) const { return high_pass_ ? 0.0f : y_; }

// --- All-pass.

std::unique_ptr<ug_base> ug_filter_allpass::CreateInstance() const {
  return std::make_unique<ug_filter_allpass>();
}

void ug_filter_allpass::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kFilterAllpassPlugs, {signal_, pitch_, resonance_, out_, freq_scale_}, descriptors);
}

void ug_filter_allpass::Open() {
  table_a_ = CoefficientTable("ug_filter_allpass A", -1,
                              [](int32_t i) { return std::exp(-kTwoPi * i / 512.0); });
  table_b_ = CoefficientTable("ug_filter_allpass B", -1,
                              [](int32_t i) { return 2.0 * std::cos(kTwoPi * i / 512.0); });
  ug_filter::Open();
}

void ug_filter_allpass::Coefficients(float pitch, float resonance, float& a, float& b) const {
  const float width =
      std::isnan(resonance) ? 0.5f : std::clamp(resonance * 1.5f + 0.5f, 0.5f, 4.0f);
  double hz = PitchToHz(pitch, VoltsPerKhz());
  if (!(hz > 0.0)) hz = 0.0;  // 1 V/kHz below 0, and NaN
  const float g = static_cast<float>(std::min(hz / SampleRate(), 0.5));
  if (pitch < 0.0f) {
    const double dg = static_cast<double>(width) * g;
    a = static_cast<float>(2.0 * std::exp(-0.5 * kTwoPi * dg) * std::cos(kTwoPi * g));
    b = static_cast<float>(std::exp(-kTwoPi * dg));
    return;
  }
  const float m = std::min(width * g, 1.0f);
  a = LookupCoefficient(*table_a_, m * 0.5f) * LookupCoefficient(*table_b_, g);
  b = LookupCoefficient(*table_a_, m);
}

void ug_filter_allpass::UpdateCoefficients() {
  Coefficients(SampleNow(pitch_), SampleNow(resonance_), a_, b_);
}

bool ug_filter_allpass::ControlsStream() const {
  return Streams(*this, &pitch_) || Streams(*this, &resonance_);
}

void ug_filter_allpass::SelectRun() {
  SetProcessFunction(ControlsRun() ? &ug_filter_allpass::Run<true>
                                   : &ug_filter_allpass::Run<false>);
}

template <bool kControlsRun>
void ug_filter_allpass::Run(int32_t position, int32_t count) {
  const float* in = signal_;
  float* out = out_;
  float a = a_, b = b_, s1 = s1_, s2 = s2_;
  for (int32_t k = position; k < position + count; ++k) {
    if constexpr (kControlsRun) Coefficients(pitch_[k], resonance_[k], a, b);
    const float w = in[k] + a * s1 - b * s2;
    out[k] = s2 + b * w - a * s1;
    s2 = s1;
    s1 = Guard(w);
  }
  a_ = a, b_ = b, s1_ = s1, s2_ = s2;
  AfterRun(count);
}

void ug_filter_allpass::ResetNonFinite() {
  if (!std::isfinite(s1_)) s1_ = 0.0f;
  if (!std::isfinite(s2_)) s2_ = 0.0f;
}

bool ug_filter_allpass::Settle(float input) {
  const float next = input + a_ * s1_ - b_ * s2_;
  if (!(std::fabs(s1_ - s2_) < 1.5e-6f) && next != s1_) return false;
  // Both states at the rest point w = x / (1 - a + b) of a constant input,
  // where the output is the input (the all-pass passes 0 Hz unchanged).
  const float denominator = 1.0f - a_ + b_;
  const float rest = denominator > 1e-6f ? input / denominator : input;
  s1_ = s2_ = rest;
  return true;
}

}  // namespace ov
