// Counters and the shift register: "Step Counter", "Step Counter2", "Decade
// Counter", "Binary Counter" and "Shift Register". Inputs are logic levels
// (modules/logic_level.h) read sample by sample while any input runs; each
// output is a smart output that ramps over 4 samples to 5 V or 0 V, so the
// module sleeps once its inputs and outputs are steady.
//
// Threads: built and opened on the editor thread while audio is stopped;
// status changes and processing on the audio thread.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/smart_output.h"
#include "engine/ug_base.h"

namespace ov {

class ug_logic_complex : public ug_base {
 public:
  void Open() override;
  void Resume() override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;

  static constexpr int32_t kMaxInputs = 3;

  // Reads the inputs at block index `index` (sample time `time`) and sets
  // the outputs' targets.
  virtual void Evaluate(uint32_t time, int32_t index) = 0;

 protected:
  // The input blocks in plug order, bound by the subclasses' plug lists.
  std::array<float*, kMaxInputs> in_{};

  // Input `n` in plug order, read at block index `index`.
  float InputAt(int32_t n, int32_t index) const { return in_[static_cast<std::size_t>(n)][index]; }
  int32_t OutputCount() const { return static_cast<int32_t>(outputs_.size()); }
  smart_output& Output(int32_t n) { return outputs_[static_cast<std::size_t>(n)]; }

 private:
  void RenderOutputs(int32_t position, int32_t count, bool& can_sleep);
  void RunInputs(int32_t position, int32_t count);
  void RunOutputs(int32_t position, int32_t count);

  std::vector<smart_output> outputs_;
  std::array<bool, kMaxInputs> levels_{};
  int32_t input_count_ = 0;
  bool inputs_running_ = false;
};

// A high level that walks along the outputs, one step per Clock rise.
class ug_logic_counter : public ug_logic_complex {
 public:
  enum Plug : int32_t { kClock, kReset, kFirstOut };

  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void Evaluate(uint32_t time, int32_t index) override;
  int32_t Step() const { return step_; }

 protected:
  // Whether a Clock rise at `time` advances the step.
  virtual bool AdvancesAt(uint32_t /*time*/) const { return true; }

 private:
  int32_t step_ = 0;
  bool clock_level_ = false;
  bool reset_level_ = false;
};

// As the step counter, but a Clock already high at the engine's first
// sample does not count.
class ug_logic_counter2 final : public ug_logic_counter {
 public:
  std::unique_ptr<ug_base> CreateInstance() const override;

 protected:
  bool AdvancesAt(uint32_t time) const override { return time != 0; }
};

// The step counter with ten fixed outputs.
class ug_logic_decade final : public ug_logic_counter {
 public:
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
};

class ug_logic_Bin_Count final : public ug_logic_complex {
 public:
  enum Plug : int32_t { kClock, kReset, kFirstBit };

  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Evaluate(uint32_t time, int32_t index) override;
  uint32_t Count() const { return count_; }

 private:
  uint32_t count_ = 0;  // keeps counting; the outputs show its low 8 bits
  bool clock_level_ = false;
  bool reset_level_ = false;
};

class ug_logic_shift final : public ug_logic_complex {
 public:
  enum Plug : int32_t { kClock, kData, kReset, kFirstBit };

  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Evaluate(uint32_t time, int32_t index) override;

 private:
  uint32_t register_ = 0;  // bit 0 is the newest, shown on "B0"
  bool clock_level_ = false;
  bool data_level_ = false;
  bool reset_level_ = false;
};

}  // namespace ov
