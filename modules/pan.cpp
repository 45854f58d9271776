#include "modules/pan.h"

#include <algorithm>
#include <cmath>

#include "engine/audio_master.h"
#include "engine/block_math.h"
#include "modules/descriptors/plug_tables.h"
#include "modules/level_curves.h"

namespace ov {
namespace {

bool Runs(const UPlug& input) { return input.State() == ST_RUN; }

}  // namespace

float ug_pan::VolumeGain(const float* db_curve, float volume) {
  if (!(volume > 1.0f)) return LookUpCurve(db_curve, volume);
  return FlushTiny(static_cast<float>(std::pow(10.0, 3.8888888 * (volume - 1.0) / 2.0)));
}

float ug_pan::Position(float p) {
  const float c = 0.5f - p;
  if (!(c > 0.0f)) return 0.0f;
  return std::min(c, 1.0f);
}

std::unique_ptr<ug_base> ug_pan::CreateInstance() const { return std::make_unique<ug_pan>(); }

void ug_pan::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kPanPlugs, {input_, pan_, left_, right_, volume_, law_}, descriptors);
}

void ug_pan::Open() {
  power_table_ = EqualPowerCurve();
  sin_power_table_ = SinEqualPowerCurve();
  db_table_ = DecibelCurve();
  db_curve_ = db_table_->entries.data();
  ChooseLawTable();
  ug_base::Open();
}

bool ug_pan::HasVoiceDependentInput() const {
  const auto reached = [this](int32_t number) {
    return (plug(number)->Flags() & kPlugFlagVoiceReached) != 0;
  };
  return reached(kInput) && (reached(kPan) || reached(kVolume));
}

void ug_pan::ChooseLawTable() {
  law_table_ =
      law_ == kEqualPower ? sin_power_table_->entries.data() : power_table_->entries.data();
}

void ug_pan::SetGains(float p) {
  const float c = Position(p);
  if (law_ == kEqualIntensity) {
    gain1_ = c;
    gain2_ = 1.0f - c;
  } else {
    gain1_ = LookUpCurve(law_table_, c);
    gain2_ = LookUpCurve(law_table_, 1.0f - c);
  }
}

void ug_pan::OnStatusChange(uint32_t time, connector* link, int32_t state) {
  const int32_t changed = link->Destination()->Number();
  const UPlug& input = *plug(kInput);
  const UPlug& pan = *plug(kPan);
  const UPlug& volume = *plug(kVolume);
  if (changed == kFadeLaw) ChooseLawTable();
  if ((changed == kVolume || changed == kPan || changed == kFadeLaw) && state != ST_RUN) {
    SetGains(pan.ValueAtClock());
    const float w = VolumeGain(db_curve_, volume.ValueAtClock());
    gain1_ *= w;
    gain2_ *= w;
  }
  bool is_static = false;
  if (Runs(pan) || Runs(volume)) {
    if (law_ == kEqualIntensity) {
      SetProcessFunction(&ug_pan::RunByIntensity);
    } else {
      SetProcessFunction(&ug_pan::RunByTable);
    }
  } else if (Runs(input)) {
    SetProcessFunction(&ug_pan::RunInputOnly);
  } else {
    SetProcessFunction(&ug_pan::RunInputOnly);
    is_static = true;
  }
  int32_t out = std::max({input.State(), pan.State(), volume.State()});
  if (!Runs(input) && input.ValueAtClock() == 0.0f) out = ST_STATIC;
  if (!Runs(volume) && volume.ValueAtClock() == 0.0f) {
    SetProcessFunction(&ug_pan::RunInputOnly);
    is_static = true;
    out = ST_STATIC;
  } else if (out != ST_RUN) {
    SetProcessFunction(&ug_pan::RunInputOnly);
    is_static = true;
  }
  if (is_static) EnterStatic();
  plug(kLeftOut)->Transmit(time, out);
  plug(kRightOut)->Transmit(time, out);
}

void ug_pan::RunByTable(int32_t position, int32_t count) {
  for (int32_t i = position; i < position + count; ++i) {
    const float w = VolumeGain(db_curve_, volume_[i]);
    const float c = Position(pan_[i]);
    gain1_ = LookUpCurve(law_table_, c) * w;
    gain2_ = LookUpCurve(law_table_, 1.0f - c) * w;
    left_[i] = gain1_ * input_[i];
    right_[i] = gain2_ * input_[i];
  }
}

void ug_pan::RunByIntensity(int32_t position, int32_t count) {
  for (int32_t i = position; i < position + count; ++i) {
    const float a = VolumeGain(db_curve_, volume_[i]);
    const float c = Position(pan_[i]);
    left_[i] = a * (c * input_[i]);
    right_[i] = a * ((1.0f - c) * input_[i]);
  }
}

void ug_pan::RunInputOnly(int32_t position, int32_t count) {
  ScaleSamples2(left_, right_, input_, gain1_, gain2_, position, count);
}

std::unique_ptr<ug_base> ug_cross_fade::CreateInstance() const {
  return std::make_unique<ug_cross_fade>();
}

void ug_cross_fade::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kCrossFadePlugs, {input_a_, input_b_, mix_, output_, law_}, descriptors);
}

void ug_cross_fade::OnStatusChange(uint32_t time, connector* link, int32_t state) {
  const int32_t changed = link->Destination()->Number();
  const UPlug& mix = *plug(kMix);
  if (changed == kFadeLaw) ChooseLawTable();
  if ((changed == kMix || changed == kFadeLaw) && state != ST_RUN) SetGains(mix.ValueAtClock());
  int32_t out = std::max(plug(kInputA)->State(), plug(kInputB)->State());
  if (Runs(mix)) {
    if (law_ == kEqualIntensity) {
      SetProcessFunction(&ug_cross_fade::RunByIntensity);
    } else {
      SetProcessFunction(&ug_cross_fade::RunByTable);
    }
    out = ST_RUN;
  } else if (out == ST_RUN) {
    SetProcessFunction(&ug_cross_fade::RunStoredGains);
  } else {
    SetProcessFunction(&ug_cross_fade::RunStoredGains);
    EnterStatic();
  }
  plug(kSignalOut)->Transmit(time, out);
}

void ug_cross_fade::RunByTable(int32_t position, int32_t count) {
  for (int32_t i = position; i < position + count; ++i) {
    const float c = Position(mix_[i]);
    gain1_ = LookUpCurve(law_table_, c);
    gain2_ = LookUpCurve(law_table_, 1.0f - c);
    output_[i] = gain2_ * input_a_[i] + gain1_ * input_b_[i];
  }
}

void ug_cross_fade::RunByIntensity(int32_t position, int32_t count) {
  for (int32_t i = position; i < position + count; ++i) {
    const float b = Position(mix_[i]);
    output_[i] = (1.0f - b) * input_a_[i] + b * input_b_[i];
  }
}

void ug_cross_fade::RunStoredGains(int32_t position, int32_t count) {
  for (int32_t i = position; i < position + count; ++i) {
    output_[i] = gain2_ * input_a_[i] + gain1_ * input_b_[i];
  }
}

}  // namespace ov
