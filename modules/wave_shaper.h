// "WaveShaper" and "WaveShaper2": map a signal through a transfer curve
// spanning -5 V ... +5 V, held as a 513-point table read with linear
// interpolation. "WaveShaper" draws the curve as a polyline through up to
// eleven points "(x,y)" in volts; "WaveShaper2" computes it from a formula in
// x (modules/evaluator.h).
//
// The table belongs to the module and its voice copies: allocated before the
// engine runs, rebuilt in place when "shape" changes, and only once per
// change however many voices receive it (the copies compare the text it was
// last built from).
//
// Threads: built, cloned and opened on the editor thread while audio is
// stopped; status changes (and so table building) and processing on the
// audio thread, where nothing allocates.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ug_base.h"

namespace ov {

class Evaluator;

class ug_wave_shaper : public ug_base {
 public:
  enum Plug : int32_t { kSignalIn, kSignalOut, kIgnoreProgramChange, kShape };
  // Entry i is the output for the input i/512 - 0.5; entry 513 is spare.
  static constexpr int32_t kSteps = 512;
  using Curve = std::array<float, kSteps + 2>;

  std::unique_ptr<ug_base> CreateInstance() const override;
  std::unique_ptr<ug_base> Clone() override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;

  // One sample through `curve`; inputs beyond +-5 V (and infinities) give
  // the curve's end values, NaN its low end. Any thread.
  static float Map(const Curve& curve, float v);
  // Fills `curve` from a point list; entries no segment reaches keep their
  // values. Any thread; allocates nothing.
  static void BuildFromPoints(std::string_view points, Curve& curve);

  // The table as last built (for tests and benchmarks).
  const Curve& Table() const { return shared_->curve; }

 protected:
  // Builds the table from `shape`. Audio thread.
  virtual void Build(std::string_view shape, Curve& curve);

 private:
  struct Shared {
    Curve curve{};
    std::string built_from;  // reserved to a text plug's capacity
    bool built = false;
  };
  void EnsureShared();
  void Run(int32_t position, int32_t count);

  float* input_ = nullptr;
  float* output_ = nullptr;
  bool ignore_program_change_ = false;
  std::shared_ptr<Shared> shared_;
};

class ug_wave_shaper2 : public ug_wave_shaper {
 public:
  // The formula's first characters that are read.
  static constexpr std::size_t kFormulaLength = 200;

  std::unique_ptr<ug_base> CreateInstance() const override;
  void Open() override;

  // Fills all 513 points from `formula` in x; an entry whose evaluation
  // fails holds the partial result, a non-finite one 0. Thread: the one
  // using `evaluator`.
  static void BuildFromFormula(std::string_view formula, Evaluator& evaluator, Curve& curve);

 protected:
  void Build(std::string_view shape, Curve& curve) override;

 private:
  std::shared_ptr<Evaluator> evaluator_;
};

}  // namespace ov
