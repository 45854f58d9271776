#include "modules/logic_counters.h"

#include <algorithm>

#include "engine/audio_master.h"
#include "modules/descriptors/plug_tables.h"
#include "modules/logic_level.h"

namespace ov {
namespace {

constexpr int32_t kRampLength = 4;

float BitLevel(uint32_t bits, int32_t bit) { return ((bits >> bit) & 1u) != 0 ? kLogicHigh : 0.0f; }

}  // namespace

void ug_logic_complex::Open() {
  // Plugs are final by now (every connected "Out" added one).
  outputs_.clear();
  input_count_ = 0;
  for (int32_t p = 0; p < PlugCount(); ++p) {
    UPlug& candidate = *plug(p);
    if (!candidate.IsAudio()) continue;
    if (candidate.Direction() == DR_IN) {
      input_count_ = std::min(input_count_ + 1, kMaxInputs);
    } else if (candidate.Direction() == DR_OUT) {
      smart_output& output = outputs_.emplace_back();
      output.init(smart_output::kLinear, kRampLength);
      output.attach(candidate);
    }
  }
  levels_.fill(false);
  inputs_running_ = false;
  SetProcessFunction(&ug_logic_complex::RunOutputs);
  ug_base::Open();
}

void ug_logic_complex::Resume() {
  ug_base::Resume();
  for (smart_output& output : outputs_) output.rearm();
}

void ug_logic_complex::OnStatusChange(uint32_t time, connector*, int32_t) {
  inputs_running_ = false;
  for (int32_t p = 0; p < PlugCount(); ++p) {
    const UPlug& candidate = *plug(p);
    if (candidate.IsInput() && candidate.State() == ST_RUN) inputs_running_ = true;
  }
  if (inputs_running_) {
    SetProcessFunction(&ug_logic_complex::RunInputs);
  } else {
    SetProcessFunction(&ug_logic_complex::RunOutputs);
    Evaluate(time, BlockPosition());  // a static change acts at once
  }
}

void ug_logic_complex::RenderOutputs(int32_t position, int32_t count, bool& can_sleep) {
  if (count <= 0) return;
  for (smart_output& output : outputs_) output.process(position, count, can_sleep);
}

void ug_logic_complex::RunInputs(int32_t position, int32_t count) {
  bool can_sleep = true;
  int32_t rendered = position;
  for (int32_t index = position; index < position + count; ++index) {
    bool changed = false;
    for (int32_t n = 0; n < input_count_; ++n) {
      changed |= UpdateLogicLevel(InputAt(n, index), levels_[static_cast<std::size_t>(n)]);
    }
    if (!changed) continue;
    RenderOutputs(rendered, index - rendered, can_sleep);
    rendered = index;
    Evaluate(Clock() + static_cast<uint32_t>(index - position), index);
  }
  RenderOutputs(rendered, position + count - rendered, can_sleep);
}

void ug_logic_complex::RunOutputs(int32_t position, int32_t count) {
  bool can_sleep = true;
  RenderOutputs(position, count, can_sleep);
  if (can_sleep && !inputs_running_) SetProcessFunction(&ug_logic_complex::SleepWhenIdle);
}

std::unique_ptr<ug_base> ug_logic_counter::CreateInstance() const {
  return std::make_unique<ug_logic_counter>();
}

void ug_logic_counter::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kLogicCounterPlugs, {in_[kClock], in_[kReset]}, descriptors);
}

void ug_logic_counter::Open() {
  step_ = 0;
  clock_level_ = reset_level_ = false;
  ug_logic_complex::Open();
  if (OutputCount() > 0) Output(0).set_target(Clock(), kLogicHigh);
}

void ug_logic_counter::Evaluate(uint32_t time, int32_t index) {
  const int32_t old = step_;
  const bool reset = LogicRises(InputAt(kReset, index), reset_level_);
  const bool clock = LogicRises(InputAt(kClock, index), clock_level_);
  // Without a connected output there is nothing to step along.
  const int32_t outputs = OutputCount();
  if (outputs == 0) return;
  if (reset) step_ = 0;
  if (clock && !reset_level_ && AdvancesAt(time)) {
    if (++step_ >= outputs) step_ = 0;
  }
  if (step_ == old) return;
  Output(old).set_target(time, 0.0f);
  Output(step_).set_target(time, kLogicHigh);
}

std::unique_ptr<ug_base> ug_logic_counter2::CreateInstance() const {
  return std::make_unique<ug_logic_counter2>();
}

std::unique_ptr<ug_base> ug_logic_decade::CreateInstance() const {
  return std::make_unique<ug_logic_decade>();
}

void ug_logic_decade::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kLogicDecadePlugs, {in_[kClock], in_[kReset]}, descriptors);
}

std::unique_ptr<ug_base> ug_logic_Bin_Count::CreateInstance() const {
  return std::make_unique<ug_logic_Bin_Count>();
}

void ug_logic_Bin_Count::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kLogicBinCountPlugs, {in_[kClock], in_[kReset]}, descriptors);
}

void ug_logic_Bin_Count::Evaluate(uint32_t time, int32_t index) {
  const uint32_t old = count_;
  if (LogicRises(InputAt(kReset, index), reset_level_)) count_ = 0;
  if (LogicRises(InputAt(kClock, index), clock_level_) && !reset_level_ && time != 0) ++count_;
  for (int32_t bit = 0; bit < std::min(OutputCount(), 8); ++bit) {
    if (((count_ ^ old) >> bit & 1u) != 0) Output(bit).set_target(time, BitLevel(count_, bit));
  }
}

std::unique_ptr<ug_base> ug_logic_shift::CreateInstance() const {
  return std::make_unique<ug_logic_shift>();
}

void ug_logic_shift::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kLogicShiftPlugs, {in_[kClock], in_[kData], in_[kReset]}, descriptors);
}

void ug_logic_shift::Evaluate(uint32_t time, int32_t index) {
  const uint32_t old = register_;
  if (LogicRises(InputAt(kReset, index), reset_level_)) register_ = 0;
  UpdateLogicLevel(InputAt(kData, index), data_level_);
  // A reset and a clock together clear the register, then shift in the bit.
  if (LogicRises(InputAt(kClock, index), clock_level_)) {
    register_ = register_ << 1 | (data_level_ ? 1u : 0u);
  }
  for (int32_t bit = 0; bit < std::min(OutputCount(), 32); ++bit) {
    if (((register_ ^ old) >> bit & 1u) != 0) Output(bit).set_target(time, BitLevel(register_, bit));
  }
}

}  // namespace ov
