#include "modules/logic_gates.h"

#include <algorithm>

#include "engine/audio_master.h"
#include "modules/descriptors/plug_tables.h"
#include "modules/logic_level.h"

namespace ov {

void ug_logic_gate::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kLogicGatePlugs, {output_}, descriptors);
}

void ug_logic_gate::Open() {
  // Every connection adds an input plug; one left without a source (a
  // spare) is no input at all, so an AND of nothing is true.
  inputs_.clear();
  input_of_plug_.assign(static_cast<std::size_t>(PlugCount()), -1);
  for (int32_t p = 0; p < PlugCount(); ++p) {
    const UPlug& candidate = *plug(p);
    if (candidate.Direction() != DR_IN || !candidate.IsAudio() || candidate.Data() == nullptr) {
      continue;
    }
    input_of_plug_[static_cast<std::size_t>(p)] = InputCount();
    inputs_.push_back({candidate.Data(), false, ST_STOP});
  }
  highest_state_ = ST_STOP;
  output_value_ = 0.0f;
  countdown_ = Master()->EngineBlockSize();
  SetProcessFunction(&ug_logic_gate::Run);
  ug_base::Open();
  // The first output follows the initial (low) levels: NAND, NOR and an AND
  // without inputs open high.
  QueueRunFunction(Clock(), &ug_logic_gate::UpdateAtOpen);
}

void ug_logic_gate::UpdateAtOpen(ug_base& gate) {
  static_cast<ug_logic_gate&>(gate).UpdateOutput(gate.Clock());
}

int32_t ug_logic_gate::HighInputs() const {
  return static_cast<int32_t>(
      std::count_if(inputs_.begin(), inputs_.end(), [](const Input& in) { return in.level; }));
}

void ug_logic_gate::UpdateOutput(uint32_t time) {
  const float x = Evaluate() ? kLogicHigh : 0.0f;
  if (x == output_value_) return;
  output_value_ = x;
  plug(kOutput)->Transmit(time, ST_STATIC);
  SetProcessFunction(&ug_logic_gate::Run);
  countdown_ = Master()->EngineBlockSize();
}

void ug_logic_gate::OnStatusChange(uint32_t, connector* link, int32_t state) {
  const int32_t number = link->Destination()->Number();
  if (number < 0 || number >= static_cast<int32_t>(input_of_plug_.size())) return;
  const int32_t changed = input_of_plug_[static_cast<std::size_t>(number)];
  if (changed < 0) return;
  highest_state_ = ST_STOP;
  for (int32_t i = 0; i < InputCount(); ++i) {
    Input& input = inputs_[static_cast<std::size_t>(i)];
    if (i == changed) {
      input.state = state;
    } else if (input.state == ST_STATIC) {
      input.state = ST_STOP;  // it has delivered its value
    }
    highest_state_ = std::max(highest_state_, input.state);
  }
  SetProcessFunction(&ug_logic_gate::Run);
}

// The sample where `input` next changes level, from `from` up to `until`.
int32_t ug_logic_gate::NextChange(const Input& input, int32_t position, int32_t from,
                                  int32_t until) {
  const float* x = input.samples + position;
  int32_t k = from;
  if (input.level) {
    while (k < until && !(x[k] < kLogicLowThreshold)) ++k;
  } else {
    while (k < until && !(x[k] > kLogicHighThreshold)) ++k;
  }
  return k;
}

void ug_logic_gate::Run(int32_t position, int32_t count) {
  // Runs between level changes are filled whole; the earliest change of any
  // input bounds the scan of the rest.
  int32_t last_change = -1;
  for (int32_t s = 0; s < count;) {
    int32_t next = count;
    for (const Input& input : inputs_) next = NextChange(input, position, s, next);
    std::fill(output_ + position + s, output_ + position + next, output_value_);
    if (next == count) break;
    for (Input& input : inputs_) UpdateLogicLevel(input.samples[position + next], input.level);
    const float before = output_value_;
    UpdateOutput(Clock() + static_cast<uint32_t>(next));
    if (output_value_ != before) last_change = next;
    output_[position + next] = output_value_;
    s = next + 1;
  }
  if (highest_state_ == ST_RUN) return;
  countdown_ -= last_change >= 0 ? count - last_change : count;
  if (countdown_ <= 0) SetProcessFunction(&ug_logic_gate::SleepWhenIdle);
}

std::unique_ptr<ug_base> ug_logic_AND::CreateInstance() const {
  return std::make_unique<ug_logic_AND>();
}
std::unique_ptr<ug_base> ug_logic_OR::CreateInstance() const {
  return std::make_unique<ug_logic_OR>();
}
std::unique_ptr<ug_base> ug_logic_XOR::CreateInstance() const {
  return std::make_unique<ug_logic_XOR>();
}
std::unique_ptr<ug_base> ug_logic_NAND::CreateInstance() const {
  return std::make_unique<ug_logic_NAND>();
}
std::unique_ptr<ug_base> ug_logic_NOR::CreateInstance() const {
  return std::make_unique<ug_logic_NOR>();
}

std::unique_ptr<ug_base> ug_logic_not::CreateInstance() const {
  return std::make_unique<ug_logic_not>();
}

void ug_logic_not::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kOneInOneOutPlugs, {input_, output_}, descriptors);
}

void ug_logic_not::Open() {
  level_ = false;
  output_value_ = kLogicHigh;
  countdown_ = Master()->EngineBlockSize();
  SetProcessFunction(&ug_logic_not::Run);
  ug_base::Open();
}

bool ug_logic_not::Cross(uint32_t time, float value) {
  if (!UpdateLogicLevel(value, level_)) return false;
  output_value_ = level_ ? 0.0f : kLogicHigh;
  SetProcessFunction(&ug_logic_not::Run);
  countdown_ = Master()->EngineBlockSize();
  plug(kSignalOut)->Transmit(time, ST_STATIC);
  return true;
}

void ug_logic_not::OnStatusChange(uint32_t time, connector* link, int32_t state) {
  if (link->Destination()->Number() != kSignalIn) return;
  input_state_ = state;
  SetProcessFunction(&ug_logic_not::Run);
  if (state == ST_RUN) {
    countdown_ = Master()->EngineBlockSize();
  } else {
    Cross(time, plug(kSignalIn)->ValueAtClock());
  }
}

void ug_logic_not::Run(int32_t position, int32_t count) {
  int32_t last_change = -1;
  for (int32_t s = 0; s < count; ++s) {
    const int32_t index = position + s;
    if (Cross(Clock() + static_cast<uint32_t>(s), input_[index])) last_change = s;
    output_[index] = output_value_;
  }
  if (input_state_ == ST_RUN) return;
  countdown_ -= last_change >= 0 ? count - last_change : count;
  if (countdown_ <= 0) SetProcessFunction(&ug_logic_not::SleepWhenIdle);
}

}  // namespace ov
