#include "engine/ug_adder.h"

#include <algorithm>

namespace ov {

std::unique_ptr<ug_base> ug_adder::CreateInstance() const { return std::make_unique<ug_adder>(); }

void ug_adder::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  descriptors.emplace_back(&output_, DR_OUT, "", "Signal Out", "0", "", 0, DT_FSAMPLE, nullptr);
  descriptors.emplace_back(nullptr, DR_IN, "", "Signals In", "0", "", kPlugCollectsConnections,
                           DT_FSAMPLE, nullptr);
}

void ug_adder::Open() {
  const auto& links = plug(kInputPlug)->Connectors();
  sources_.clear();
  for (const connector* link : links) sources_.push_back(link->Source()->Data());
  running_.assign(links.size(), false);
  // Without sources the zeroed block is already the answer.
  if (sources_.empty()) {
    SetProcessFunction(&ug_adder::SleepWhenIdle);
  } else {
    SetProcessFunction(&ug_adder::Sum);
  }
  ug_base::Open();
}

void ug_adder::OnStatusChange(uint32_t time, connector* link, int32_t state) {
  const auto& links = plug(kInputPlug)->Connectors();
  const auto found = std::find(links.begin(), links.end(), link);
  if (found != links.end()) running_[found - links.begin()] = state == ST_RUN;

  UPlug& output = *plug(kOutputPlug);
  SetProcessFunction(&ug_adder::Sum);
  if (std::find(running_.begin(), running_.end(), true) != running_.end()) {
    output.Transmit(time, ST_RUN);
  } else {
    EnterStatic();
    output.Transmit(time, std::min<int32_t>(state, ST_STATIC));
  }
}

void ug_adder::Sum(int32_t position, int32_t count) {
  // Eight samples at a time stay in registers while every source is added,
  // in source order as before; the reads past the slice stay within the
  // blocks' slack.
  constexpr int32_t kRun = USampBlock::kSlack;
  const std::size_t sources = sources_.size();
  for (int32_t start = position; start < position + count; start += kRun) {
    float sum[kRun];
    const float* first = sources_.front() + start;
    for (int32_t i = 0; i < kRun; ++i) sum[i] = first[i];
    for (std::size_t s = 1; s < sources; ++s) {
      const float* in = sources_[s] + start;
      for (int32_t i = 0; i < kRun; ++i) sum[i] += in[i];
    }
    const int32_t n = std::min(kRun, position + count - start);
    std::copy(sum, sum + n, output_ + start);
  }
}

std::unique_ptr<ug_base> ug_adder_midi::CreateInstance() const {
  return std::make_unique<ug_adder_midi>();
}

void ug_adder_midi::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  descriptors.emplace_back(nullptr, DR_OUT, "", "MIDI Out", "0", "", 0, DT_MIDI, nullptr);
  descriptors.emplace_back(nullptr, DR_IN, "", "MIDI In", "0", "", kPlugCollectsConnections,
                           DT_MIDI, nullptr);
}

void ug_adder_midi::HandleEvent(ug_event& event) {
  if (event.kind == UET_MIDI) {
    SendMidi(*plug(ug_adder::kOutputPlug), Clock(), static_cast<uint32_t>(event.parm1));
  } else {
    ug_base::HandleEvent(event);
  }
}

}  // namespace ov
