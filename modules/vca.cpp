#include "modules/vca.h"

#include <algorithm>
#include <cmath>

#include "engine/audio_master.h"
#include "engine/block_math.h"
#include "modules/descriptors/plug_tables.h"
#include "modules/level_curves.h"

namespace ov {
float ug_vca::Gain(float volume, int16_t curve) {
  if (!(volume > 0.0f)) return 0.0f;
  const double v = volume;
  const double c = v - 1.0;
  double f = 0.0;
  switch (curve) {
    case kDecibelOld: {
      double d = 5.0 * c;
      if (d < -4.0) d = (d + 4.0) * 3.0 - 4.0;
      f = std::pow(10.0, d);
      break;
    }
    case kLinear:
      f = v;
      break;
    case kDecibel: {
      double e = 3.8888888 * c;
      if (e < -3.5) e = (e + 3.5) * 2.0 - 3.5;
      f = std::pow(10.0, e / 2.0);
      break;
    }
    default:  // exponential
      f = (std::exp(-3.0 * (1.0 - v)) - std::exp(-3.0)) / (1.0 - std::exp(-3.0));
      break;
  }
  // Below 0.01 V the gain fades linearly to 0.
  const double gain = v < 0.001 ? v * f * 1000.0 : f;
  return FlushTiny(static_cast<float>(gain));
}

std::unique_ptr<ug_base> ug_vca::CreateInstance() const { return std::make_unique<ug_vca>(); }

void ug_vca::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kVcaPlugs, {signal_, volume_, output_, curve_}, descriptors);
}

void ug_vca::Open() {
  exp_curve_ = TruncExpCurve();
  old_db_curve_ = OldDecibelCurve();
  db_curve_ = DecibelCurve();
  curve_data_ = exp_curve_->entries.data();
  ChooseCurve();
  ug_base::Open();
}

bool ug_vca::HasVoiceDependentInput() const {
  const auto reached = [this](int32_t number) {
    return (plug(number)->Flags() & kPlugFlagVoiceReached) != 0;
  };
  return reached(kSignal) && reached(kVolume);
}

void ug_vca::ChooseCurve() {
  // Linear keeps whatever table was chosen: its process reads none.
  switch (curve_) {
    case kDecibelOld:
      curve_data_ = old_db_curve_->entries.data();
      break;
    case kExponential:
      curve_data_ = exp_curve_->entries.data();
      break;
    case kDecibel:
      curve_data_ = db_curve_->entries.data();
      break;
    default:
      break;
  }
}

void ug_vca::OnStatusChange(uint32_t time, connector* link, int32_t state) {
  const UPlug* changed = link->Destination();
  const UPlug& signal = *plug(kSignal);
  const UPlug& volume = *plug(kVolume);
  if (changed->Number() == kResponseCurve) {
    ChooseCurve();
    static_gain_ = Gain(volume.ValueAtClock(), curve_);
  }
  if (changed == &volume && state != ST_RUN) static_gain_ = Gain(volume.ValueAtClock(), curve_);

  int32_t out = std::max(signal.State(), volume.State());
  if (signal.State() != ST_RUN && signal.ValueAtClock() == 0.0f) out = ST_STATIC;
  const bool volume_runs = volume.State() == ST_RUN;
  const float volume_value = volume.ValueAtClock();
  const bool silent =
      !volume_runs && (curve_ == kLinear ? volume_value == 0.0f : !(volume_value > 0.0f));
  if (silent || out != ST_RUN) {
    if (silent) out = ST_STATIC;
    SetProcessFunction(&ug_vca::RunConstantGain);
    EnterStatic();
  } else if (!volume_runs) {
    SetProcessFunction(&ug_vca::RunConstantGain);
  } else if (curve_ == kLinear) {
    SetProcessFunction(&ug_vca::RunLinear);
  } else {
    SetProcessFunction(&ug_vca::RunCurve);
  }
  plug(kOutput)->Transmit(time, out);
}

void ug_vca::RunCurve(int32_t position, int32_t count) {
  for (int32_t i = position; i < position + count; ++i) {
    const float v = volume_[i];
    const float gain = v > 1.0f ? Gain(v, curve_) : LookUpCurve(curve_data_, v);
    output_[i] = gain * signal_[i];
  }
}

void ug_vca::RunLinear(int32_t position, int32_t count) {
  for (int32_t i = position; i < position + count; ++i) {
    output_[i] = signal_[i] * std::max(volume_[i], 0.0f);
  }
}

void ug_vca::RunConstantGain(int32_t position, int32_t count) {
  ScaleSamples(output_, signal_, static_gain_, position, count);
}

}  // namespace ov
