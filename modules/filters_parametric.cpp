// "Parametric EQ": the peaking equaliser of the published audio-EQ cookbook.
#include <algorithm>
#include <cmath>

#include "modules/descriptors/plug_tables.h"
#include "modules/filters.h"

namespace ov {

std::unique_ptr<ug_base> ug_filter_eq_parametric::CreateInstance() const {
  return std::make_unique<ug_filter_eq_parametric>();
}

void ug_filter_eq_parametric::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kFilterEqParametricPlugs,
              {signal_, pitch_, resonance_, out_, mode_, boost_cut_, freq_scale_}, descriptors);
}

ug_filter_eq_parametric::Coefficients ug_filter_eq_parametric::CoefficientsFor(
    float pitch, float resonance, float boost_cut) const {
  const double rate = SampleRate();
  // The design leaves frequencies at and above Nyquist open: the centre is
  // kept inside (0, 0.49 fs], where sin w > 0.
  double hz = PitchToHz(pitch, VoltsPerKhz());
  hz = std::isnan(hz) ? 1.0 : std::clamp(hz, 1e-6 * rate, 0.49 * rate);
  const double omega = kTwoPi * hz / rate;
  const double sine = std::sin(omega);
  const double cosine = std::cos(omega);
  const double octaves = std::isnan(resonance) ? 0.0 : std::max(0.0, resonance * 10.0);
  // Within the plug's range, -10 to 10 V (-100 to +100 dB at the centre).
  const double decibels = std::isnan(boost_cut) ? 0.0 : std::clamp(boost_cut, -1.0f, 1.0f) * 100.0;
  const double gain = std::pow(10.0, decibels * 0.025);
  // sinh grows fast: wide bands near Nyquist are capped (sinh 30 ~ 5e12).
  const double alpha =
      sine * std::sinh(std::min(std::log(2.0) / 2.0 * octaves * omega / sine, 30.0));
  const double a0 = 1.0 + alpha / gain;
  return {static_cast<float>((1.0 + alpha * gain) / a0), static_cast<float>(-2.0 * cosine / a0),
          static_cast<float>((1.0 - alpha * gain) / a0), static_cast<float>(-2.0 * cosine / a0),
          static_cast<float>((1.0 - alpha / gain) / a0)};
}

void ug_filter_eq_parametric::UpdateCoefficients() {
  c_ = CoefficientsFor(SampleNow(pitch_), SampleNow(resonance_), SampleNow(boost_cut_));
}

bool ug_filter_eq_parametric::ControlsStream() const {
  return Streams(*this, &pitch_) || Streams(*this, &resonance_) || Streams(*this, &boost_cut_);
}

void ug_filter_eq_parametric::SelectRun() {
  SetProcessFunction(ControlsRun() ? &ug_filter_eq_parametric::Run<true>
                                   : &ug_filter_eq_parametric::Run<false>);
}

template <bool kControlsRun>
void ug_filter_eq_parametric::Run(int32_t position, int32_t count) {
  const float* in = signal_;
  float* out = out_;
  Coefficients c = c_;
  float x1 = x1_, x2 = x2_, y1 = y1_, y2 = y2_;
  for (int32_t k = position; k < position + count; ++k) {
    if constexpr (kControlsRun) c = CoefficientsFor(pitch_[k], resonance_[k], boost_cut_[k]);
    const float x = in[k];
    // Each delay's feed-forward and feedback terms together: with no boost
    // or cut (b1 = a1, b2 = a2) they cancel exactly and the output is the
    // input, bit for bit.
    const float y = c.b0 * x + (c.b1 * x1 - c.a1 * y1) + (c.b2 * x2 - c.a2 * y2);
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = Guard(y);
    out[k] = y;
  }
  c_ = c;
  x1_ = x1, x2_ = x2, y1_ = y1, y2_ = y2;
  AfterRun(count);
}

void ug_filter_eq_parametric::ResetNonFinite() {
  for (float* state : {&x1_, &x2_, &y1_, &y2_}) {
    if (!std::isfinite(*state)) *state = 0.0f;
  }
}

bool ug_filter_eq_parametric::Settle(float input) {
  // The gain at 0 Hz is 1: a still input is its own output, and the state
  // rests there.
  x1_ = x2_ = y1_ = y2_ = input;
  return true;
}

}  // namespace ov
