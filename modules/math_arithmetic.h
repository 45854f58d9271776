// The two-input math modules: "Subtract", "Multiply", "Divide", "Ring
// Modulator" (also the older "Level Adj") and "Quantiser". Each has three
// loops - both inputs running, or one read once per slice - and, when
// neither input runs, computes one constant block and sleeps.
//
// Threads: built and opened on the editor thread while audio is stopped;
// status changes and processing on the audio thread.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/ug_base.h"
#include "modules/plug_table.h"

namespace ov {

class ug_math_base : public ug_base {
 public:
  enum Plug : int32_t { kInputA, kInputB, kOutput };

  explicit ug_math_base(bool zero_makes_static) : zero_makes_static_(zero_makes_static) {}
  void Open() override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;
  // Only when both inputs differ from voice to voice.
  bool HasVoiceDependentInput() const override;

 protected:
  virtual void SelectBoth() = 0;
  virtual void SelectAOnce() = 0;  // A read once per slice
  virtual void SelectBOnce() = 0;  // B read once per slice

  float* a_ = nullptr;
  float* b_ = nullptr;
  float* out_ = nullptr;

 private:
  // A product with a static 0 V factor is a static 0 whatever the other does.
  bool zero_makes_static_;
};

// One module of the family: `Op` gives Apply(a, b) and Fixed(b), a callable
// with B taken once; `kPlugs` its plug list.
template <typename Op>
class ug_math_binary final : public ug_math_base {
 public:
  ug_math_binary() : ug_math_base(Op::kZeroMakesStatic) {}
  std::unique_ptr<ug_base> CreateInstance() const override {
    return std::make_unique<ug_math_binary>();
  }
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override {
    AppendPlugs(Op::Plugs(), {a_, b_, out_}, descriptors);
  }

 private:
  void SelectBoth() override { SetProcessFunction(&ug_math_binary::RunBoth); }
  void SelectAOnce() override { SetProcessFunction(&ug_math_binary::RunAOnce); }
  void SelectBOnce() override { SetProcessFunction(&ug_math_binary::RunBOnce); }

  // The output block is never an input block, which lets the loops run in
  // vector registers.
  void RunBoth(int32_t position, int32_t count) {
    const float* __restrict a = a_ + position;
    const float* __restrict b = b_ + position;
    float* __restrict out = out_ + position;
    for (int32_t i = 0; i < count; ++i) out[i] = Op::Apply(a[i], b[i]);
  }
  void RunAOnce(int32_t position, int32_t count) {
    const float a = a_[position];
    const float* __restrict b = b_ + position;
    float* __restrict out = out_ + position;
    for (int32_t i = 0; i < count; ++i) out[i] = Op::Apply(a, b[i]);
  }
  void RunBOnce(int32_t position, int32_t count) {
    const typename Op::Fixed op(b_[position]);
    const float* __restrict a = a_ + position;
    float* __restrict out = out_ + position;
    for (int32_t i = 0; i < count; ++i) out[i] = op(a[i]);
  }
};

// B taken once is just a stored B.
template <typename Op>
struct FixedB {
  explicit FixedB(float b) : b(b) {}
  float operator()(float a) const { return Op::Apply(a, b); }
  float b;
};

struct SubtractOp {
  static constexpr bool kZeroMakesStatic = false;
  static PlugTable Plugs();
  static float Apply(float a, float b) { return a - b; }
  using Fixed = FixedB<SubtractOp>;
};

// Volts times volts: 5 V x 2 V = 10 V.
struct MultiplyOp {
  static constexpr bool kZeroMakesStatic = true;
  static PlugTable Plugs();
  static float Apply(float a, float b) { return a * b * 10.0f; }
  using Fixed = FixedB<MultiplyOp>;
};

// Volts over volts: 8 V / 2 V = 4 V. A 0 V divisor gives infinity or NaN,
// which the modules downstream take without harm.
struct DivideOp {
  static constexpr bool kZeroMakesStatic = false;
  static PlugTable Plugs();
  static float Apply(float a, float b) { return a / b * 0.1f; }
  using Fixed = FixedB<DivideOp>;
};

// Normalised so that 10 V x 10 V = 10 V.
struct RingModulatorOp {
  static constexpr bool kZeroMakesStatic = true;
  static PlugTable Plugs();
  static float Apply(float a, float b) { return a * b; }
  using Fixed = FixedB<RingModulatorOp>;
};

// The multiple of the step (B) nearest to A; steps at or below 1e-9 act as
// 1e-9.
struct QuantiseOp {
  static constexpr bool kZeroMakesStatic = false;
  static PlugTable Plugs();
  static float Step(float b) { return b > 1e-9f ? b : 1e-9f; }
  static float Apply(float a, float b) {
    const float s = Step(b);
    return s * std::floor((a + s * 0.5f) / s);
  }
  // With the step fixed, a multiplication by its reciprocal replaces the
  // division.
  struct Fixed {
    explicit Fixed(float b) : step(Step(b)), reciprocal(1.0f / step) {}
    float operator()(float a) const { return step * std::floor((a + step * 0.5f) * reciprocal); }
    float step;
    float reciprocal;
  };
};

using ug_math_sub = ug_math_binary<SubtractOp>;
using ug_math_mult = ug_math_binary<MultiplyOp>;
using ug_math_div = ug_math_binary<DivideOp>;
using ug_multiplier = ug_math_binary<RingModulatorOp>;
using ug_quantiser = ug_math_binary<QuantiseOp>;

}  // namespace ov
