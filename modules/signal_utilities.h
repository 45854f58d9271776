// Small signal utilities: "Peak Follower" (a level that rises and falls
// towards the input's magnitude at rates of 1 ms per volt), "1 KHz Tone" (a
// 5 V sine at 1 kHz) and "Fixed Values" (outputs holding the voltages the
// document sets on them).
//
// Threads: opened on the editor thread while audio is stopped; status
// changes and processing on the audio thread.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/ug_base.h"

namespace ov {

class ug_peak_det : public ug_base {
 public:
  enum Plug : int32_t { kSignalIn, kAttack, kDecay, kSignalOut };

  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;

  // The one-pole coefficient for a time input `value` (1.0 = 10 V): a time
  // constant of value x rate / 100 samples; values below 0.001 count as
  // 0.001, NaN too.
  static float Coefficient(float value, float sample_rate);
  float AttackCoefficient() const { return attack_coefficient_; }
  float DecayCoefficient() const { return decay_coefficient_; }

 private:
  template <bool kTimesRun>
  void Run(int32_t position, int32_t count);

  float* input_ = nullptr;
  float* attack_ = nullptr;
  float* decay_ = nullptr;
  float* output_ = nullptr;
  float level_ = 0.0f;
  float attack_coefficient_ = 0.0f;
  float decay_coefficient_ = 0.0f;
};

class ug_test_tone : public ug_base {
 public:
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;

 private:
  void Run(int32_t position, int32_t count);

  float* output_ = nullptr;
  float phase_ = 0.0f;  // radians
  float increment_ = 0.0f;
};

class ug_fixed_values : public ug_base {
 public:
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
};

}  // namespace ov
