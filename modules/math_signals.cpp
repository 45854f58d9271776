#include "modules/math_signals.h"

#include <algorithm>
#include <chrono>

#include "engine/audio_master.h"
#include "engine/saturating_cast.h"
#include "modules/descriptors/plug_tables.h"
#include "modules/logic_level.h"

namespace ov {

std::unique_ptr<ug_base> ug_comparator::CreateInstance() const {
  return std::make_unique<ug_comparator>();
}

void ug_comparator::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kComparatorPlugs, {a_, b_, out_, hi_volts_, lo_volts_}, descriptors);
}

void ug_comparator::Open() {
  SetProcessFunction(&ug_comparator::RunBoth);
  ug_base::Open();
}

void ug_comparator::OnStatusChange(uint32_t time, connector*, int32_t) {
  hi_ = static_cast<float>(hi_volts_ * 0.1);
  lo_ = static_cast<float>(lo_volts_ * 0.1);
  const int32_t a = plug(kInputA)->State();
  const int32_t b = plug(kInputB)->State();
  const int32_t out = std::max(a, b);
  if (out != ST_RUN) {
    SetProcessFunction(&ug_comparator::RunBOnce);
    EnterStatic();
  } else if (a != ST_RUN) {
    SetProcessFunction(&ug_comparator::RunAOnce);
  } else if (b != ST_RUN) {
    SetProcessFunction(&ug_comparator::RunBOnce);
  } else {
    SetProcessFunction(&ug_comparator::RunBoth);
  }
  plug(kOutput)->Transmit(time, out);
}

void ug_comparator::RunBoth(int32_t position, int32_t count) {
  for (int32_t i = position; i < position + count; ++i) out_[i] = Pick(a_[i], b_[i]);
}

void ug_comparator::RunAOnce(int32_t position, int32_t count) {
  const float a = a_[position];
  for (int32_t i = position; i < position + count; ++i) out_[i] = Pick(a, b_[i]);
}

void ug_comparator::RunBOnce(int32_t position, int32_t count) {
  const float b = b_[position];
  for (int32_t i = position; i < position + count; ++i) out_[i] = Pick(a_[i], b);
}

std::unique_ptr<ug_base> ug_sample_hold::CreateInstance() const {
  return std::make_unique<ug_sample_hold>();
}

void ug_sample_hold::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kSampleHoldPlugs, {audio_, hold_, out_}, descriptors);
}

void ug_sample_hold::Open() {
  held_ = 0.0f;
  armed_ = true;
  SetProcessFunction(&ug_sample_hold::Run);
  ug_base::Open();
}

void ug_sample_hold::OnStatusChange(uint32_t time, connector* link, int32_t state) {
  if (link->Destination()->Number() == kHold) plug(kOutput)->Transmit(time, state);
  if (plug(kAudio)->State() == ST_RUN || plug(kHold)->State() == ST_RUN) {
    SetProcessFunction(&ug_sample_hold::Run);
  } else {
    countdown_ = Master()->EngineBlockSize();
    SetProcessFunction(&ug_sample_hold::RunOneBlock);
  }
}

void ug_sample_hold::Run(int32_t position, int32_t count) {
  for (int32_t i = position; i < position + count; ++i) {
    const float hold = hold_[i];
    if (armed_ && hold > 0.0f) {
      held_ = audio_[i];
      armed_ = false;
    } else if (!armed_ && hold <= 0.0f) {
      armed_ = true;
    }
    out_[i] = held_;
  }
}

void ug_sample_hold::RunOneBlock(int32_t position, int32_t count) {
  Run(position, count);
  countdown_ -= count;
  if (countdown_ <= 0) SetProcessFunction(&ug_sample_hold::SleepWhenIdle);
}

std::unique_ptr<ug_base> ug_monostable::CreateInstance() const {
  return std::make_unique<ug_monostable>();
}

void ug_monostable::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kMonostablePlugs, {in_, length_, out_}, descriptors);
}

void ug_monostable::Open() {
  pulsing_ = false;
  end_queued_ = false;
  level_ = false;
  output_value_ = 0.0f;
  countdown_ = Master()->EngineBlockSize();
  SetProcessFunction(&ug_monostable::Run);
  ug_base::Open();
}

void ug_monostable::Trigger(uint32_t time, int32_t index) {
  if (output_value_ != 0.0f) return;  // a pulse is running: no restart
  output_value_ = kLogicHigh;
  plug(kSignalOut)->Transmit(time, ST_STATIC);
  const int32_t block = Master()->EngineBlockSize();
  countdown_ = block;
  const double samples = static_cast<double>(length_[index]) * Master()->SampleRate();
  const int32_t duration = std::clamp(SaturatingCast<int32_t>(samples), 1, kLongestPulse);
  pulsing_ = true;
  pulse_end_ = time + static_cast<uint32_t>(duration);
  // A long pulse ends through an event, so the module may sleep meanwhile;
  // without one (a short pulse, or an exhausted event pool) it runs and
  // watches for the end itself.
  end_queued_ = duration > block && QueueRunFunction(pulse_end_, &ug_monostable::EndPulseEvent);
}

void ug_monostable::EndPulseEvent(ug_base& module) {
  auto& self = static_cast<ug_monostable&>(module);
  if (self.pulsing_ && self.pulse_end_ == self.Clock()) self.EndPulse(self.Clock());
}

void ug_monostable::EndPulse(uint32_t time) {
  output_value_ = 0.0f;
  pulsing_ = false;
  end_queued_ = false;
  countdown_ = Master()->EngineBlockSize();
  SetProcessFunction(&ug_monostable::Run);  // it may have slept through the pulse
  plug(kSignalOut)->Transmit(time, ST_STATIC);
}

void ug_monostable::OnStatusChange(uint32_t time, connector* link, int32_t state) {
  if (link->Destination()->Number() != kSignalIn) return;
  input_state_ = state;
  SetProcessFunction(&ug_monostable::Run);
  if (state != ST_RUN && LogicRises(plug(kSignalIn)->ValueAtClock(), level_)) {
    Trigger(time, BlockPosition());
  }
}

void ug_monostable::Run(int32_t position, int32_t count) {
  for (int32_t s = 0; s < count; ++s) {
    const int32_t index = position + s;
    const uint32_t time = Clock() + static_cast<uint32_t>(s);
    // Compared as a signed distance, so a pulse ending past the clock's wrap
    // still ends.
    if (pulsing_ && static_cast<int32_t>(time - pulse_end_) >= 0) EndPulse(time);
    if (LogicRises(in_[index], level_)) Trigger(time, index);
    out_[index] = output_value_;
  }
  if (input_state_ == ST_RUN) return;
  countdown_ -= count;
  const bool watching_end = pulsing_ && !end_queued_;
  if (countdown_ <= 0 && !watching_end) SetProcessFunction(&ug_monostable::SleepWhenIdle);
}

ug_random::ug_random() { output_.init(smart_output::kLinear, 4); }

std::unique_ptr<ug_base> ug_random::CreateInstance() const { return std::make_unique<ug_random>(); }

void ug_random::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kRandomPlugs, {trigger_}, descriptors);
}

void ug_random::Open() {
  // Each instance starts from the clock of its own opening, so two modules
  // opened together still differ in all but the rarest case.
  const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  Seed(static_cast<uint32_t>(now) ^ static_cast<uint32_t>(now >> 32));
  output_.attach(*plug(kOutput));
  SetProcessFunction(&ug_random::Run);
  ug_base::Open();
}

void ug_random::Resume() {
  ug_base::Resume();
  output_.rearm();
}

int32_t ug_random::Next() {
  // A linear congruential generator; its upper bits are the better ones.
  state_ = state_ * 214013u + 2531011u;
  return static_cast<int32_t>((state_ >> 16) & 0x7FFFu);
}

void ug_random::OnStatusChange(uint32_t time, connector*, int32_t) {
  if (!trigger_) return;
  output_.set_target(time, static_cast<float>(Next()) * 0.00003051851f, 1);
  SetProcessFunction(&ug_random::Run);
}

void ug_random::Run(int32_t position, int32_t count) {
  bool can_sleep = true;
  output_.process(position, count, can_sleep);
  if (can_sleep) SetProcessFunction(&ug_random::SleepWhenIdle);
}

}  // namespace ov
