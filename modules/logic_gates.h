// The logic gates: "AND Gate", "OR Gate", "XOR Gate", "NAND Gate", "NOR Gate"
// (any number of inputs, one per connection) and "NOT Gate". Inputs are read
// as logic levels (modules/logic_level.h); the output is 5 V or 0 V and is
// announced as a static change at each sample where it flips, so gates
// downstream can sleep between edges.
//
// Threads: built and opened on the editor thread while audio is stopped;
// status changes and processing on the audio thread.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/ug_base.h"

namespace ov {

class ug_logic_gate : public ug_base {
 public:
  enum Plug : int32_t { kOutput = 0 };

  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;

  // The gate's function of the current input levels.
  virtual bool Evaluate() const = 0;

 protected:
  int32_t HighInputs() const;
  int32_t InputCount() const { return static_cast<int32_t>(inputs_.size()); }

 private:
  struct Input {
    const float* samples = nullptr;
    bool level = false;
    int32_t state = ST_STOP;
  };

  static void UpdateAtOpen(ug_base& gate);
  static int32_t NextChange(const Input& input, int32_t position, int32_t from, int32_t until);
  void UpdateOutput(uint32_t time);
  void Run(int32_t position, int32_t count);

  std::vector<Input> inputs_;
  std::vector<int32_t> input_of_plug_;  // by plug number; -1: not an input
  int32_t highest_state_ = ST_STOP;
  float output_value_ = 0.0f;
  float* output_ = nullptr;
  int32_t countdown_ = 0;  // samples still to write after the last change
};

class ug_logic_AND final : public ug_logic_gate {
 public:
  std::unique_ptr<ug_base> CreateInstance() const override;
  bool Evaluate() const override { return HighInputs() == InputCount(); }
};

class ug_logic_OR final : public ug_logic_gate {
 public:
  std::unique_ptr<ug_base> CreateInstance() const override;
  bool Evaluate() const override { return HighInputs() > 0; }
};

class ug_logic_XOR final : public ug_logic_gate {
 public:
  std::unique_ptr<ug_base> CreateInstance() const override;
  bool Evaluate() const override { return HighInputs() % 2 == 1; }
};

class ug_logic_NAND final : public ug_logic_gate {
 public:
  std::unique_ptr<ug_base> CreateInstance() const override;
  bool Evaluate() const override { return HighInputs() != InputCount(); }
};

class ug_logic_NOR final : public ug_logic_gate {
 public:
  std::unique_ptr<ug_base> CreateInstance() const override;
  bool Evaluate() const override { return HighInputs() == 0; }
};

class ug_logic_not final : public ug_base {
 public:
  enum Plug : int32_t { kSignalIn, kSignalOut };

  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;

 private:
  // Flips the output when `value` crosses the threshold the level waits for.
  bool Cross(uint32_t time, float value);
  void Run(int32_t position, int32_t count);

  bool level_ = false;
  int32_t input_state_ = ST_STOP;
  float output_value_ = 0.5f;
  float* input_ = nullptr;
  float* output_ = nullptr;
  int32_t countdown_ = 0;
};

}  // namespace ov
