// The one-input math modules: "Ceil", "Floor", "Inverter" and "Rectifier",
// on a base the denormal utilities share. The output follows the input's
// stream state: per sample while it runs, else one block and sleep.
//
// Threads: built and opened on the editor thread while audio is stopped;
// status changes and processing on the audio thread.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/ug_base.h"

namespace ov {

class ug_generic_1_1 : public ug_base {
 public:
  enum Plug : int32_t { kSignalIn, kSignalOut };

  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;

 protected:
  // Writes `count` outputs from index `position`.
  virtual void Compute(int32_t position, int32_t count) = 0;

  float* in_ = nullptr;
  float* out_ = nullptr;

 private:
  void Run(int32_t position, int32_t count);
  void RunOneBlock(int32_t position, int32_t count);

  int32_t countdown_ = 0;
};

// One module of the family from a per-sample function `Op::Apply`.
template <typename Op>
class ug_one_input final : public ug_generic_1_1 {
 public:
  std::unique_ptr<ug_base> CreateInstance() const override {
    return std::make_unique<ug_one_input>();
  }

 private:
  void Compute(int32_t position, int32_t count) override {
    for (int32_t i = position; i < position + count; ++i) out_[i] = Op::Apply(in_[i]);
  }
};

// Whole volts upward. The 6e-7 tolerance absorbs single precision: 2 V is
// 0.2f, a little above 0.2, and still gives 2 V.
struct CeilOp {
  static float Apply(float x) { return 0.1f * std::ceil(10.0f * x - 0.0000006f); }
};

// Whole volts toward zero. The tolerance is added away from zero, so that a
// whole voltage a little short of its value in single precision (7 V, or
// -7 V) keeps it on either side of zero.
struct FloorOp {
  static float Apply(float x) { return 0.1f * std::trunc(10.0f * x + std::copysign(0.0000006f, x)); }
};

struct InvertOp {
  static float Apply(float x) { return -x; }
};

struct RectifyOp {
  static float Apply(float x) { return std::fabs(x); }
};

using ug_math_ceil = ug_one_input<CeilOp>;
using ug_math_floor = ug_one_input<FloorOp>;
using ug_inverter = ug_one_input<InvertOp>;
using ug_rectifier = ug_one_input<RectifyOp>;

}  // namespace ov
