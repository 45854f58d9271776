// "Moog Filter", and the obsolete "Filter2 obsolete" and "Filter obs" that
// documents of old versions hold (the same generator and plugs).
#include <algorithm>
#include <cmath>

#include "engine/audio_master.h"
#include "modules/descriptors/plug_tables.h"
#include "modules/filters.h"
#include "engine/lookup_table.h"

namespace ov {
namespace {

// k of the ladder's stages and the resonance scale for cutoff `hz`.
void LadderCoefficients(double hz, double rate, double& k, double& scale) {
  const double h = 2.0 * hz / rate;
  k = 3.6 * h - 1.6 * h * h - 1.0;
  const double p = (k + 1.0) * 0.5;
  scale = std::exp((1.0 - p) * 1.386249);
}

// A resonance that is not a number gives no feedback.
inline float Feedback(float resonance, float scale) {
  return std::isfinite(resonance) ? resonance * scale : 0.0f;
}

}  // namespace

// Every 4 engine blocks: the check compares a whole output block.
ug_filter_biquad::ug_filter_biquad() : ug_filter(4) {}

std::unique_ptr<ug_base> ug_filter_biquad::CreateInstance() const {
  return std::make_unique<ug_filter_biquad>();
}

void ug_filter_biquad::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kFilterBiquadPlugs,
              {signal_, pitch_, resonance_, out_, mode_, boost_cut_, freq_scale_}, descriptors);
}

void ug_filter_biquad::Open() {
  const double rate = Master()->SampleRate();
  // Both tables limit the cutoff as the direct computation does, so that
  // 10 V means 0.495 fs on either path.
  const auto limited = [rate](int32_t i) { return std::min(EntryHz(i), kMaxCutoff * rate); };
  table_k_ =
      CoefficientTable("Moog LP kp", SampleRateKey(static_cast<float>(rate)), [&](int32_t i) {
        double k, scale;
        LadderCoefficients(limited(i), rate, k, scale);
        return k;
      });
  table_scale_ =
      CoefficientTable("Moog LP Scale", SampleRateKey(static_cast<float>(rate)), [&](int32_t i) {
        double k, scale;
        LadderCoefficients(limited(i), rate, k, scale);
        return scale;
      });
  ug_filter::Open();
}

ug_filter_biquad::Coefficients ug_filter_biquad::CoefficientsFor(float pitch) const {
  float k, scale;
  if (!VoltsPerKhz() && pitch >= 0.0f) {
    const float x = std::min(pitch, 1.0f);
    k = LookupCoefficient(*table_k_, x);
    scale = LookupCoefficient(*table_scale_, x);
  } else {
    const double rate = SampleRate();
    double hz = PitchToHz(pitch, VoltsPerKhz());
    hz = std::isnan(hz) ? 0.0 : std::clamp(hz, 0.0, kMaxCutoff * rate);
    double kd, scaled;
    LadderCoefficients(hz, rate, kd, scaled);
    k = static_cast<float>(kd);
    scale = static_cast<float>(scaled);
  }
  return {(k + 1.0f) * 0.5f, k, scale};
}

void ug_filter_biquad::Initialise(float) {
  x_old_ = y1_ = y1_old_ = y2_ = y2_old_ = y3_ = y3_old_ = y4_ = 0.0f;
}

void ug_filter_biquad::UpdateCoefficients() {
  const Coefficients c = CoefficientsFor(SampleNow(pitch_));
  p_ = c.p;
  k_ = c.k;
  r_ = Feedback(SampleNow(resonance_), c.scale);
}

bool ug_filter_biquad::ControlsStream() const {
  return Streams(*this, &pitch_) || Streams(*this, &resonance_);
}

void ug_filter_biquad::SelectRun() {
  SetProcessFunction(ControlsRun() ? &ug_filter_biquad::Run<true> : &ug_filter_biquad::Run<false>);
}

// Only y4 feeds back, so each sample waits on one chain: y4 -> y1 -> y2 -> y3
// -> y4 -> clip. Everything taken from the input and the previous sample is
// computed beside that chain (x = in - r y4 folds into y1 as p in - p r y4).
// The denormal guard runs once per call on the carried state; inside the
// loop the flush-to-zero mode set around every process call does its work.
template <bool kControlsRun>
void ug_filter_biquad::Run(int32_t position, int32_t count) {
  const float* in = signal_;
  float* out = out_;
  float p = p_, k = k_, r = r_;
  float pr = p * r;
  float x_old = x_old_, y1 = y1_, y1_old = y1_old_, y2 = y2_, y2_old = y2_old_, y3 = y3_,
        y3_old = y3_old_, y4 = y4_;
  for (int32_t i = position; i < position + count; ++i) {
    if constexpr (kControlsRun) {
      const Coefficients c = CoefficientsFor(pitch_[i]);
      p = c.p;
      k = c.k;
      r = Feedback(resonance_[i], c.scale);
      pr = p * r;
    }
    const float x_in = in[i];
    const float x = x_in - r * y4;
    const float rest1 = p * (x_in + x_old) - k * y1;
    const float rest2 = p * y1_old - k * y2;
    const float rest3 = p * y2_old - k * y3;
    const float rest4 = p * y3_old - k * y4;
    y1 = rest1 - pr * y4;
    y2 = p * y1 + rest2;
    y3 = p * y2 + rest3;
    y4 = MoogSoftClip(p * y3 + rest4);
    x_old = x;
    y1_old = y1;
    y2_old = y2;
    y3_old = y3;
    out[i] = y4;
  }
  p_ = p, k_ = k, r_ = r;
  x_old_ = Guard(x_old), y1_ = Guard(y1), y1_old_ = Guard(y1_old), y2_ = Guard(y2),
  y2_old_ = Guard(y2_old), y3_ = Guard(y3), y3_old_ = Guard(y3_old), y4_ = Guard(y4);
  AfterRun(count);
}

// The lane kernels look for these.
template void ug_filter_biquad::Run<false>(int32_t, int32_t);
template void ug_filter_biquad::Run<true>(int32_t, int32_t);

void ug_filter_biquad::ResetNonFinite() {
  for (float* state : {&x_old_, &y1_, &y1_old_, &y2_, &y2_old_, &y3_, &y3_old_, &y4_}) {
    if (!std::isfinite(*state)) *state = 0.0f;
  }
}

bool ug_filter_biquad::Settle(float input) {
  constexpr float kTiny = 1.5e-6f;
  if (std::fabs(x_old_) < kTiny) x_old_ = 0.0f;
  if (std::fabs(y4_) < kTiny && y4_ != 0.0f && input == 0.0f) y4_ = 0.0f;
  for (float* state : {&y1_, &y2_, &y3_}) {
    if (std::fabs(*state) < kTiny) *state = 0.0f;
  }
  // Settled once a whole engine block of output holds one value.
  const float* out = out_;
  const int32_t block = Master()->EngineBlockSize();
  return std::all_of(out, out + block, [first = out[0]](float sample) { return sample == first; });
}

}  // namespace ov
