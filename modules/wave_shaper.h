// "WaveShaper" and "WaveShaper2": map a signal through a transfer curve
// spanning -5 V ... +5 V, held as a 513-point table read with linear
// interpolation. "WaveShaper" draws the curve as a polyline through up to
// eleven points "(x,y)" in volts; "WaveShaper2" computes it from a formula in
// x (modules/evaluator.h).
//
// The table belongs to the module and its voice copies: allocated before the
// engine runs, built when the engine opens the module, and rebuilt only once
// per change of "shape" however many voices receive it (the copies compare
// the text it was last built from). A point list is cheap and is rebuilt in
// place at the change. A formula takes milliseconds (513 evaluations), more
// than an engine block, so a change while running is built on the media
// file thread into a second table, and the old one plays until the new one
// is taken over at the start of a slice.
//
// Threads: built, cloned and opened on the editor thread while audio is
// stopped; status changes and processing on the audio thread, where nothing
// allocates; formula tables for changes on the media file thread.
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

  // The table being played (for tests and benchmarks).
  const Curve& Table() const { return shared_->curves[shared_->playing]; }

 protected:
  struct Shared;
  // A "shape" has arrived: the table is built for it at once (true), or
  // follows later (false: the module then waits for it). Audio thread.
  virtual bool ShapeChanged(std::string_view shape);
  // Whether the module is waiting for a table built elsewhere.
  virtual bool AwaitingTable() const { return false; }
  void Run(int32_t position, int32_t count);
  Shared& SharedTables() { return *shared_; }
  const Shared& SharedTables() const { return *shared_; }
  // A new table is playing: it reaches a static output once, and the
  // process follows the input.
  void AfterNewTable(uint32_t time);
  void SelectProcess();

  // One module's tables, shared with its voice copies: the one played and a
  // spare that a background build fills.
  struct Shared {
    std::array<Curve, 2> curves{};
    int32_t playing = 0;
    std::string built_from;  // reserved to a text plug's capacity
    bool built = false;
  };

 private:
  void EnsureShared();

  float* input_ = nullptr;
  float* output_ = nullptr;
  bool ignore_program_change_ = false;
  std::shared_ptr<Shared> shared_;
};

class ug_wave_shaper2 : public ug_wave_shaper {
 public:
  // The formula's first characters that are read.
  static constexpr std::size_t kFormulaLength = 200;

  ~ug_wave_shaper2() override;
  std::unique_ptr<ug_base> CreateInstance() const override;
  std::unique_ptr<ug_base> Clone() override;
  void Open() override;
  void Close() override;

  // Fills all 513 points from `formula` in x; an entry whose evaluation
  // fails holds the partial result, a non-finite one 0. Reads the
  // environment values the formula names. Not on the audio thread; one
  // thread at a time per evaluator.
  static void BuildFromFormula(std::string_view formula, Evaluator& evaluator, Curve& curve);

  // The table played is not yet the one for the latest shape: a build runs
  // or waits in the background. Audio thread.
  bool Building() const;

 protected:
  bool ShapeChanged(std::string_view shape) override;
  bool AwaitingTable() const override;

 private:
  class Builder;
  // Runs the old table until the new one is there, then takes it over.
  void AwaitTable(int32_t position, int32_t count);

  std::shared_ptr<Evaluator> evaluator_;
  std::shared_ptr<Builder> builder_;  // one per module and its voice copies
};

}  // namespace ov
