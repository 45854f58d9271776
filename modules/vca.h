// "VCA": multiplies a signal by a gain that a volume input sets through a
// response curve (exponential, linear, decibel, or the old decibel curve).
//
// Threads: opened on the editor thread while audio is stopped; status
// changes and processing on the audio thread.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/lookup_table.h"
#include "engine/ug_base.h"
#include "modules/plug_members.h"

namespace ov {

class ug_vca : public ug_base {
 public:
  enum Plug : int32_t { kSignal, kVolume, kOutput, kResponseCurve };
  enum Curve : int16_t { kDecibelOld = 0, kExponential = 1, kLinear = 2, kDecibel = 3 };

  // The gain for volume v (volts / 10) under `curve`, by the closed formula.
  static float Gain(float volume, int16_t curve);

  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;
  bool HasVoiceDependentInput() const override;
  bool HasLaneKernels() const override { return true; }
  LaneKernel LaneKernelNow() const override;
  bool InputBlocksMayMove() const override { return true; }

 private:
  friend struct VcaLanes;

  void ChooseCurve();
  void RunCurve(int32_t position, int32_t count);
  void RunLinear(int32_t position, int32_t count);
  void RunConstantGain(int32_t position, int32_t count);

  float* signal_ = nullptr;
  float* volume_ = nullptr;
  float* output_ = nullptr;
  int16_t curve_ = kExponential;
  float static_gain_ = 0.0f;
  std::shared_ptr<const ULookup> exp_curve_;
  std::shared_ptr<const ULookup> old_db_curve_;
  std::shared_ptr<const ULookup> db_curve_;
  const float* curve_data_ = nullptr;
};

}  // namespace ov
