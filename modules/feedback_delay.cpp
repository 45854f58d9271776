#include "modules/feedback_delay.h"

#include <algorithm>

#include "engine/audio_master.h"
#include "modules/descriptors/plug_tables.h"
#include "modules/plug_table.h"

namespace ov {
namespace {

constexpr PlugSpec kOutputHalf[] = {
    {"", DR_IN, DT_ENUM, "0", "", 0, ""},
    {"Audio Out", DR_OUT, DT_FSAMPLE, "", "", 0, ""},
    {"Delay Time Out", DR_OUT, DT_FSAMPLE, "", "", 0,
     "The delay in milliseconds that this module adds to the signal (OUTPUT ONLY)."},
};

// Below every sort order the graph build gives (sinks get 0): the input half
// has no outputs of its own, so running last breaks no dependency.
constexpr int32_t kRunsLast = -1000000;

}  // namespace

// --- Input half.

std::unique_ptr<ug_base> ug_feedback_delay::CreateInstance() const {
  return std::make_unique<ug_feedback_delay>();
}

std::unique_ptr<ug_base> ug_feedback_delay::Clone() {
  std::unique_ptr<ug_base> copy = ug_base::Clone();
  // Paired once the whole voice is copied.
  static_cast<ug_feedback_delay&>(*copy).model_partner_ = partner_;
  return copy;
}

void ug_feedback_delay::OnVoiceCopied(const std::function<ug_base*(const ug_base*)>& copy_of) {
  SetPartner(dynamic_cast<ug_feedback_delay_out*>(copy_of(model_partner_)));
}

void ug_feedback_delay::SetPartner(ug_feedback_delay_out* partner) {
  partner_ = partner;
  if (partner != nullptr) partner->partner_ = this;
}

ug_base* ug_feedback_delay::DownstreamPartner() const { return partner_; }

void ug_feedback_delay::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kFeedbackDelayPlugs, {input_}, descriptors);
}

void ug_feedback_delay::Open() {
  SetSortOrder(kRunsLast);
  target_ = partner_ != nullptr ? partner_->plug(ug_feedback_delay_out::kAudioOut)->Data() : nullptr;
  if (target_ != nullptr) {
    SetProcessFunction(&ug_feedback_delay::Copy);
  } else {
    SetProcessFunction(&ug_feedback_delay::SleepWhenIdle);
  }
  ug_base::Open();
}

void ug_feedback_delay::OnStatusChange(uint32_t time, connector*, int32_t state) {
  if (target_ == nullptr) return;
  const auto later = time + static_cast<uint32_t>(Master()->EngineBlockSize());
  partner_->QueueEvent(later, UET_DELAYED_STATE, state, nullptr, 0, true);
  if (state == ST_RUN) {
    SetProcessFunction(&ug_feedback_delay::Copy);
  } else {
    countdown_ = Master()->EngineBlockSize();
    SetProcessFunction(&ug_feedback_delay::CopyCountingDown);
  }
}

void ug_feedback_delay::Copy(int32_t position, int32_t count) {
  std::copy_n(input_ + position, count, target_ + position);
}

void ug_feedback_delay::CopyCountingDown(int32_t position, int32_t count) {
  Copy(position, count);
  countdown_ -= count;
  if (countdown_ <= 0) SetProcessFunction(&ug_feedback_delay::SleepWhenIdle);
}

// --- Output half.

std::unique_ptr<ug_base> ug_feedback_delay_out::CreateInstance() const {
  return std::make_unique<ug_feedback_delay_out>();
}

std::unique_ptr<ug_base> ug_feedback_delay_out::Clone() {
  std::unique_ptr<ug_base> copy = ug_base::Clone();
  static_cast<ug_feedback_delay_out&>(*copy).model_partner_ = partner_;
  return copy;
}

void ug_feedback_delay_out::OnVoiceCopied(const std::function<ug_base*(const ug_base*)>& copy_of) {
  // Either half may be told first; both pair the same two copies.
  auto* input = dynamic_cast<ug_feedback_delay*>(copy_of(model_partner_));
  if (input != nullptr) input->SetPartner(this);
}

ug_base* ug_feedback_delay_out::UpstreamPartner() const { return partner_; }

void ug_feedback_delay_out::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kOutputHalf, {{}, {}, delay_time_}, descriptors);
}

float ug_feedback_delay_out::DelayTimeValue(int32_t engine_block_size, float sample_rate) {
  return static_cast<float>(engine_block_size) / sample_rate * 100.0f;
}

void ug_feedback_delay_out::Open() {
  countdown_ = Master()->EngineBlockSize();
  SetProcessFunction(&ug_feedback_delay_out::FillDelayTime);
  ug_base::Open();
  plug(kDelayTimeOut)->Transmit(Clock(), ST_STATIC);
}

void ug_feedback_delay_out::FillDelayTime(int32_t position, int32_t count) {
  const float value = DelayTimeValue(Master()->EngineBlockSize(), Master()->SampleRate());
  std::fill_n(delay_time_ + position, count, value);
  countdown_ -= count;
  if (countdown_ <= 0) SetProcessFunction(&ug_feedback_delay_out::SleepWhenIdle);
}

void ug_feedback_delay_out::HandleEvent(ug_event& event) {
  if (event.kind != UET_DELAYED_STATE) {
    ug_base::HandleEvent(event);
    return;
  }
  if (partner_ != nullptr) plug(kAudioOut)->Transmit(Clock(), event.parm1);
}

}  // namespace ov
