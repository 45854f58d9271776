#include "modules/signal_utilities.h"

#include <cmath>

#include "engine/audio_master.h"
#include "modules/descriptors/plug_tables.h"
#include "modules/plug_table.h"

namespace ov {

// --- Peak Follower.

std::unique_ptr<ug_base> ug_peak_det::CreateInstance() const {
  return std::make_unique<ug_peak_det>();
}

void ug_peak_det::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kPeakDetPlugs, {input_, attack_, decay_, output_}, descriptors);
}

float ug_peak_det::Coefficient(float value, float sample_rate) {
  const float time = value > 0.001f ? value : 0.001f;
  return static_cast<float>(std::exp(-100.0 / (static_cast<double>(time) * sample_rate)));
}

void ug_peak_det::Open() {
  SetProcessFunction(&ug_peak_det::Run<false>);
  ug_base::Open();
  plug(kSignalOut)->Transmit(Clock(), ST_RUN);
}

void ug_peak_det::OnStatusChange(uint32_t, connector* link, int32_t) {
  const int32_t changed = link->Destination()->Number();
  const float rate = Master()->SampleRate();
  if (changed == kAttack) attack_coefficient_ = Coefficient(SampleNow(attack_), rate);
  if (changed == kDecay) decay_coefficient_ = Coefficient(SampleNow(decay_), rate);
  const bool times_run =
      plug(kAttack)->State() == ST_RUN || plug(kDecay)->State() == ST_RUN;
  if (times_run) {
    SetProcessFunction(&ug_peak_det::Run<true>);
  } else {
    SetProcessFunction(&ug_peak_det::Run<false>);
  }
}

template <bool kTimesRun>
void ug_peak_det::Run(int32_t position, int32_t count) {
  const float rate = Master()->SampleRate();
  float level = level_;
  for (int32_t i = position; i < position + count; ++i) {
    if constexpr (kTimesRun) {
      attack_coefficient_ = Coefficient(attack_[i], rate);
      decay_coefficient_ = Coefficient(decay_[i], rate);
    }
    const float a = std::fabs(input_[i]);
    const float k = a > level ? attack_coefficient_ : decay_coefficient_;
    level = a + (level - a) * k;
    // Keeps a decaying level out of the denormal range.
    level += 1e-18f;
    level -= 1e-18f;
    output_[i] = level;
  }
  level_ = level;
}

// --- 1 KHz Tone.

std::unique_ptr<ug_base> ug_test_tone::CreateInstance() const {
  return std::make_unique<ug_test_tone>();
}

void ug_test_tone::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kTestTonePlugs, {output_}, descriptors);
}

void ug_test_tone::Open() {
  phase_ = 0.0f;
  increment_ = 6283.1855f / Master()->SampleRate();
  SetProcessFunction(&ug_test_tone::Run);
  ug_base::Open();
  plug(0)->Transmit(Clock(), ST_RUN);
}

void ug_test_tone::Run(int32_t position, int32_t count) {
  for (int32_t i = position; i < position + count; ++i) {
    phase_ += increment_;
    output_[i] = 0.5f * std::sin(phase_);
    if (phase_ > 6.283185307179586) phase_ -= 6.2831855f;
  }
}

// --- Fixed Values.

std::unique_ptr<ug_base> ug_fixed_values::CreateInstance() const {
  return std::make_unique<ug_fixed_values>();
}

void ug_fixed_values::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kFixedValuesPlugs, descriptors);
}

void ug_fixed_values::Open() {
  // Each output's block already holds its value; the static reaches the
  // inputs when the values are applied.
  SetProcessFunction(&ug_fixed_values::SleepWhenIdle);
  ug_base::Open();
}

}  // namespace ov
