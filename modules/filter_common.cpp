#include "modules/filter_common.h"

#include <algorithm>

#include "engine/audio_master.h"
#include "engine/saturating_cast.h"

namespace ov {

std::shared_ptr<const ULookup> CoefficientTable(std::string_view name, int32_t size_key,
                                                const std::function<double(int32_t)>& entry) {
  return GetLookupTable<ULookup>(name, size_key, [&entry](ULookup& table) {
    table.entries.resize(kCoefficientEntries);
    for (int32_t i = 0; i < kCoefficientEntries; ++i) {
      table.entries[i] = static_cast<float>(entry(i));
    }
  });
}

float LookupCoefficient(const ULookup& table, float x) {
  const float position = x > 0.0f ? x * 512.0f : 0.0f;
  const int32_t i = std::min(SaturatingCast<int32_t>(position), 512);
  const float* entries = table.entries.data();
  if (i >= 512) return entries[512];
  const float t = position - static_cast<float>(i);
  return entries[i] + (entries[i + 1] - entries[i]) * t;
}

ug_filter::ug_filter(int32_t settle_blocks) : settle_blocks_(settle_blocks) {}

void ug_filter::Open() {
  ug_base::Open();
  sample_rate_ = Master()->SampleRate();
  outputs_.clear();
  for (int32_t i = 0; i < PlugCount(); ++i) {
    if (plug(i)->Direction() == DR_OUT && plug(i)->IsAudio()) outputs_.push_back(plug(i));
  }
  fresh_ = true;
  settled_ = false;
  since_check_ = 0;
  // Inputs that are connected tell their state at this time too; those that
  // are not keep their defaults, which this reads.
  FollowInputs(Clock());
}

void ug_filter::OnStatusChange(uint32_t time, connector*, int32_t) { FollowInputs(time); }

void ug_filter::FollowInputs(uint32_t time) {
  signal_runs_ = Streams(*this, &signal_);
  if (!signal_runs_) held_input_ = SampleNow(signal_);
  if (fresh_ && !signal_runs_) Initialise(held_input_);
  UpdateCoefficients();
  controls_run_ = ControlsStream();
  SelectRun();
  since_check_ = 0;
  settled_ = false;
  if (!signal_runs_ && !controls_run_ && SettlesAtOnce()) {
    ResetNonFinite();
    if (Settle(held_input_)) {
      settled_ = true;
      TransmitOutputs(time, ST_STATIC);
      SetProcessFunction(&ug_filter::Hold);
      return;
    }
  }
  TransmitOutputs(time, ST_RUN);
}

void ug_filter::AfterRun(int32_t count) {
  fresh_ = false;
  ResetNonFinite();
  if (signal_runs_ || settled_ || controls_run_) return;
  since_check_ += count;
  if (since_check_ < settle_blocks_ * Master()->EngineBlockSize()) return;
  since_check_ = 0;
  if (!Settle(held_input_)) return;
  // From the next sample on the outputs hold still.
  settled_ = true;
  TransmitOutputs(Clock() + static_cast<uint32_t>(count), ST_STATIC);
  SetProcessFunction(&ug_filter::Hold);
}

void ug_filter::Hold(int32_t position, int32_t count) {
  fresh_ = false;
  for (UPlug* output : outputs_) {
    output->Data()[position] = SettledValue(output->BufferMember(), held_input_);
  }
  // Then one engine block of that value, then sleep.
  ResetStaticCountdown();
  SetProcessFunction(&ug_filter::StaticFill);
  if (count > 1) StaticFill(position + 1, count - 1);
}

void ug_filter::TransmitOutputs(uint32_t time, int32_t state) {
  for (UPlug* output : outputs_) output->Transmit(time, state);
}

}  // namespace ov
