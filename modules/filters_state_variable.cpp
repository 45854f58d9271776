// "SV Filter": the Chamberlin state-variable filter.
#include <algorithm>
#include <cmath>

#include "engine/audio_master.h"
#include "engine/saturating_cast.h"
#include "modules/descriptors/plug_tables.h"
#include "modules/filters.h"
#include "engine/lookup_table.h"

namespace ov {

std::unique_ptr<ug_base> ug_filter_sv::CreateInstance() const {
  return std::make_unique<ug_filter_sv>();
}

void ug_filter_sv::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(
      kFilterSvPlugs,
      {signal_, pitch_, resonance_, low_pass_, high_pass_, band_pass_, band_reject_, freq_scale_},
      descriptors);
}

void ug_filter_sv::Open() {
  const double rate = Master()->SampleRate();
  cutoff_table_ = CoefficientTable(
      "ug_filter_sv Cutoff", SampleRateKey(static_cast<float>(rate)),
      [rate](int32_t i) { return kTwoPi * std::min(EntryHz(i), 0.5 * rate) / rate; });
  limit_table_ = CoefficientTable("ug_filter_sv Resonance Limit", -1, [](int32_t i) {
    return (i * (i * 0.000025 + 0.009) + 7.8) * 0.1;
  });
  // Only the low-pass or only the high-pass connected: that one alone.
  const auto connected = [this](float* const* member) {
    const UPlug* plug = PlugOf(*this, member);
    return plug != nullptr && !plug->Connectors().empty();
  };
  const bool low = connected(&low_pass_), high = connected(&high_pass_);
  const bool others = connected(&band_pass_) || connected(&band_reject_);
  computed_ = others || (low == high) ? kAll : (low ? kLowOnly : kHighOnly);
  ug_filter::Open();
}

ug_filter_sv::Coefficients ug_filter_sv::CoefficientsFor(float pitch, float resonance) const {
  float f;
  if (!VoltsPerKhz() && pitch >= 0.0f) {
    f = LookupCoefficient(*cutoff_table_, std::min(pitch, 1.0f));
  } else {
    const double hz = PitchToHz(pitch, VoltsPerKhz());
    f = std::isnan(hz) ? 0.00001f
                       : static_cast<float>(std::max(kTwoPi * hz / SampleRate(), 0.00001));
  }
  const float r = std::isnan(resonance) ? 0.0f : std::clamp(resonance, 0.0f, kMaxResonance);
  const float q = r > 0.0f ? 2.0f - 2.0f * r : 2.0f;
  // Each resonance has a largest stable cutoff coefficient.
  const int32_t row = std::clamp(SaturatingCast<int32_t>(std::floor(512.0f * r)), 0, 512);
  return {std::min(f, limit_table_->entries[row]), q};
}

void ug_filter_sv::UpdateCoefficients() {
  c_ = CoefficientsFor(SampleNow(pitch_), SampleNow(resonance_));
}

bool ug_filter_sv::ControlsStream() const {
  return Streams(*this, &pitch_) || Streams(*this, &resonance_);
}

void ug_filter_sv::SelectRun() {
  const bool controls = ControlsRun();
  switch (computed_) {
    case kLowOnly:
      SetProcessFunction(controls ? &ug_filter_sv::Run<true, kLowOnly>
                                  : &ug_filter_sv::Run<false, kLowOnly>);
      break;
    case kHighOnly:
      SetProcessFunction(controls ? &ug_filter_sv::Run<true, kHighOnly>
                                  : &ug_filter_sv::Run<false, kHighOnly>);
      break;
    default:
      SetProcessFunction(controls ? &ug_filter_sv::Run<true, kAll>
                                  : &ug_filter_sv::Run<false, kAll>);
      break;
  }
}

template <bool kControlsRun, ug_filter_sv::Outputs kOutputs>
void ug_filter_sv::Run(int32_t position, int32_t count) {
  const float* in = signal_;
  Coefficients c = c_;
  float low = low_, band = band_;
  for (int32_t k = position; k < position + count; ++k) {
    if constexpr (kControlsRun) c = CoefficientsFor(pitch_[k], resonance_[k]);
    const float x = in[k];
    low += c.f * band;
    const float high = x - c.q * band - low;
    band = Guard(band + c.f * high);
    if constexpr (kOutputs != kHighOnly) low_pass_[k] = low;
    if constexpr (kOutputs != kLowOnly) high_pass_[k] = high;
    if constexpr (kOutputs == kAll) {
      band_pass_[k] = band;
      band_reject_[k] = low + high;
    }
  }
  c_ = c;
  low_ = low;
  band_ = band;
  AfterRun(count);
}

// The lane kernels look for these.
template void ug_filter_sv::Run<false, ug_filter_sv::kAll>(int32_t, int32_t);
template void ug_filter_sv::Run<false, ug_filter_sv::kLowOnly>(int32_t, int32_t);
template void ug_filter_sv::Run<false, ug_filter_sv::kHighOnly>(int32_t, int32_t);
template void ug_filter_sv::Run<true, ug_filter_sv::kAll>(int32_t, int32_t);
template void ug_filter_sv::Run<true, ug_filter_sv::kLowOnly>(int32_t, int32_t);
template void ug_filter_sv::Run<true, ug_filter_sv::kHighOnly>(int32_t, int32_t);

void ug_filter_sv::ResetNonFinite() {
  if (!std::isfinite(low_)) low_ = 0.0f;
  if (!std::isfinite(band_)) band_ = 0.0f;
}

bool ug_filter_sv::Settle(float input) {
  // Two more steps that leave "low" where it is, or hardly anything left.
  const auto step = [&](float& low, float& band) {
    low += c_.f * band;
    band += c_.f * (input - c_.q * band - low);
  };
  float low = low_, band = band_;
  step(low, band);
  const bool first_still = low == low_;
  step(low, band);
  const bool still = first_still && low == low_;
  if (!still && !(std::fabs(low_ - input) + std::fabs(band_) < 1e-6f)) return false;
  low_ = input;
  band_ = 0.0f;
  return true;
}

float ug_filter_sv::SettledValue(float* const* output_member, float input) const {
  // At rest low = input, band = 0, high = 0; the notch passes 0 Hz, so it
  // holds the input too.
  if (output_member == &low_pass_ || output_member == &band_reject_) return input;
  return 0.0f;
}

}  // namespace ov
