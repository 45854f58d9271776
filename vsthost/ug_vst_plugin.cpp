#include "vsthost/ug_vst_plugin.h"

#include <algorithm>
#include <cstring>

#include "engine/audio_master.h"
#include "modules/descriptors/plug_tables.h"

namespace ov {
namespace {

using namespace vst2;

constexpr uint32_t kSystemStatus = 0xF0;
constexpr uint32_t kProgramChange = 0xC0;
constexpr uint32_t kChannelPressure = 0xD0;
constexpr uint32_t kControllerOnFirstChannel = 0xB0;
constexpr int32_t kDataEntry = 6;
constexpr int32_t kNrpnLow = 98;
constexpr int32_t kNrpnHigh = 99;
constexpr int32_t kRpnLow = 100;
constexpr int32_t kRpnHigh = 101;

// Sets the high (`high`) or low 7 bits of a 14-bit number that may be none.
int32_t WithBits(int32_t number, int32_t value, bool high) {
  const int32_t base = number < 0 ? 0x3FFF : number;
  return high ? (base & 0x7F) | (value & 0x7F) << 7 : (base & 0x3F80) | (value & 0x7F);
}

vst2::VstEvents& ListOf(std::vector<std::byte>& bytes) {
  return *reinterpret_cast<vst2::VstEvents*>(bytes.data());
}

}  // namespace

ug_vst_plugin::ug_vst_plugin() { SetProcessFunction(&ug_vst_plugin::ProcessSilent); }

ug_vst_plugin::~ug_vst_plugin() = default;

std::unique_ptr<ug_base> ug_vst_plugin::CreateInstance() const {
  return std::make_unique<ug_vst_plugin>();
}

void ug_vst_plugin::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kVstPluginPlugs,
              {{}, channel_, {}, {}, {}, replacing_fix_, alignment_fix_, midi_automation_},
              descriptors);
}

void ug_vst_plugin::Open() {
  inputs_.clear();
  outputs_.clear();
  for (int32_t i = 0; i < PlugCount(); ++i) {
    UPlug* audio = plug(i);
    if (!audio->IsAudio()) continue;
    (audio->Direction() == DR_IN ? inputs_ : outputs_).push_back(audio);
  }
  const int32_t block = Master()->EngineBlockSize();
  const AEffect* effect = wrapper_ != nullptr ? wrapper_->Effect() : nullptr;
  const auto channels_in = static_cast<std::size_t>(effect != nullptr ? std::max(effect->numInputs, 0) : 0);
  const auto channels_out = static_cast<std::size_t>(effect != nullptr ? std::max(effect->numOutputs, 0) : 0);
  input_pointers_.assign(channels_in, nullptr);
  output_pointers_.assign(channels_out, nullptr);
  silence_.assign(static_cast<std::size_t>(block) + 8, 0.0f);
  spare_.assign(static_cast<std::size_t>(block) + 8, 0.0f);
  staged_in_.assign(channels_in, {});
  staged_out_.assign(channels_out, {});
  staged_in_pointers_.resize(channels_in);
  staged_out_pointers_.resize(channels_out);
  for (std::size_t c = 0; c < channels_in; ++c) staged_in_pointers_[c] = staged_in_[c].data();
  for (std::size_t c = 0; c < channels_out; ++c) staged_out_pointers_[c] = staged_out_[c].data();
  staged_ = 0;
  queue_.assign(kQueueCapacity, {});
  queue_head_ = 0;
  queue_size_ = 0;
  midi_events_.assign(kEventCapacity, {});
  event_list_.assign(offsetof(VstEvents, events) + kEventCapacity * sizeof(VstEvent*),
                     std::byte{0});
  dropped_ = 0;

  // A parameter with controller k is listed under k and, below 32, under
  // k + 32 for its low bits; NRPN and RPN parameters under data entry.
  for (auto& list : by_controller_) list.clear();
  midi_values_.assign(assignments_.size(), 0);
  moved_ = std::make_unique<std::atomic<bool>[]>(assignments_.size());
  for (std::size_t a = 0; a < assignments_.size(); ++a) {
    const int32_t controller = assignments_[a].controller;
    if (controller < 0 || controller > 127) continue;
    const auto entry = static_cast<int16_t>(a);
    by_controller_[static_cast<std::size_t>(controller)].push_back(entry);
    if (controller < 32) by_controller_[static_cast<std::size_t>(controller + 32)].push_back(entry);
    if (controller == kNrpnHigh || controller == kRpnHigh) {
      by_controller_[kDataEntry].push_back(entry);
      by_controller_[kDataEntry + 32].push_back(entry);
    }
  }
  nrpn_ = -1;
  rpn_ = -1;

  ug_base::Open();
  opened_ = true;
  if (effect != nullptr) {
    wrapper_->SetEventSink(this);
    const float rate = Master()->SampleRate();
    wrapper_->SetRateAndBlock(rate, block);
    wrapper_->SetMains(true);
    wrapper_->SetRateAndBlock(rate, block);
  }
  for (UPlug* output : outputs_) output->Transmit(Clock(), ST_RUN);
  ChooseProcessFunction();
}

void ug_vst_plugin::Close() {
  if (opened_ && wrapper_ != nullptr && wrapper_->Loaded()) {
    wrapper_->SetMains(false);
    wrapper_->SetEventSink(nullptr);
  }
  opened_ = false;
  ug_base::Close();
}

void ug_vst_plugin::ChooseProcessFunction() {
  if (wrapper_ == nullptr || !wrapper_->Loaded()) {
    SetProcessFunction(&ug_vst_plugin::ProcessSilent);
  } else if (alignment_fix_) {
    SetProcessFunction(&ug_vst_plugin::ProcessAligned);
  } else {
    SetProcessFunction(&ug_vst_plugin::ProcessDirect);
  }
}

void ug_vst_plugin::HandleEvent(ug_event& event) {
  if (event.kind == UET_CONTROLLER) {
    OnControllerEvent(event.parm1, event.parm3);
    return;
  }
  ug_base::HandleEvent(event);
  // A fix switched while running takes effect from here.
  if (opened_) ChooseProcessFunction();
}

void ug_vst_plugin::QueueMidi(uint32_t time, uint32_t message, UPlug* /*receiver*/) {
  // Straight into the plug-in's queue: MIDI need not cut the slice, since
  // each message reaches the plug-in with its offset in the call.
  if (alignment_fix_) time += kAlignment;
  const uint32_t controller = (message >> 8) & 0x7F;
  const bool selects_number = controller == kNrpnLow || controller == kNrpnHigh ||
                              controller == kRpnLow || controller == kRpnHigh;
  if (midi_automation_ && (message & 0xFF) == kControllerOnFirstChannel &&
      (selects_number || !by_controller_[controller].empty())) {
    if (!QueueEvent(time, UET_CONTROLLER, static_cast<int32_t>(controller), nullptr,
                    static_cast<int32_t>((message >> 16) & 0x7F), false)) {
      ++dropped_;
    }
  }
  if (queue_size_ == queue_.size()) {
    ++dropped_;
    return;
  }
  queue_[(queue_head_ + queue_size_) % queue_.size()] = {time, message};
  ++queue_size_;
}

void ug_vst_plugin::OnControllerEvent(int32_t controller, int32_t value) {
  if (controller < 0 || controller > 127 || wrapper_ == nullptr || !wrapper_->Loaded()) return;
  switch (controller) {
    case kNrpnHigh:
    case kNrpnLow:
      nrpn_ = WithBits(nrpn_, value, controller == kNrpnHigh);
      rpn_ = -1;
      return;
    case kRpnHigh:
    case kRpnLow:
      rpn_ = WithBits(rpn_, value, controller == kRpnHigh);
      nrpn_ = -1;
      return;
    default:
      break;
  }
  bool moved = false;
  for (const int16_t entry : by_controller_[static_cast<std::size_t>(controller)]) {
    const MidiAssignment& assigned = assignments_[static_cast<std::size_t>(entry)];
    int32_t own = assigned.controller;
    // An NRPN or RPN parameter follows data entry while its number is chosen.
    if ((own == kNrpnHigh && assigned.number == nrpn_ && nrpn_ >= 0) ||
        (own == kRpnHigh && assigned.number == rpn_ && rpn_ >= 0)) {
      own = kDataEntry;
    }
    int16_t& midi = midi_values_[static_cast<std::size_t>(entry)];
    if (controller == own) {
      midi = static_cast<int16_t>((midi & 0x7F) | (value & 0x7F) << 7);
    } else if (own < 32 && controller == own + 32) {
      midi = static_cast<int16_t>((midi & 0x3F80) | (value & 0x7F));
    } else {
      continue;
    }
    // 14 bits reach 16383: the top stays 1.0, as plug-ins take 0..1 only.
    const float normalised = std::min(static_cast<float>(midi) / kMidiFullScale, 1.0f);
    {
      VST_Wrapper::CallingScope calling(*wrapper_);
      wrapper_->SetParameter(assigned.index, normalised);
    }
    moved_[static_cast<std::size_t>(entry)].store(true, std::memory_order_release);
    moved = true;
  }
  if (moved) RequestRefresh();
}

bool ug_vst_plugin::TakeMovedByMidi(int32_t index) {
  for (std::size_t a = 0; a < assignments_.size(); ++a) {
    if (assignments_[a].index == index && moved_ != nullptr) {
      return moved_[a].exchange(false, std::memory_order_acq_rel);
    }
  }
  return false;
}

void ug_vst_plugin::SendEvents(uint32_t start, int32_t length) {
  VstEvents& list = ListOf(event_list_);
  int32_t count = 0;
  while (queue_size_ > 0) {
    const Timed& next = queue_[queue_head_];
    const auto offset = static_cast<int32_t>(next.time - start);
    if (offset >= length) break;
    queue_head_ = (queue_head_ + 1) % queue_.size();
    --queue_size_;
    uint32_t status = next.word & 0xFF;
    if (status >= kSystemStatus) continue;
    if (static_cast<std::size_t>(count) == kEventCapacity) {
      ++dropped_;
      continue;
    }
    if (channel_ != -1) status &= 0xF0;
    VstMidiEvent& event = midi_events_[static_cast<std::size_t>(count)];
    event = {};
    event.type = kVstMidiType;
    event.byteSize = static_cast<int32_t>(sizeof(VstMidiEvent));
    event.deltaFrames = std::max(offset, 0);
    event.midiData[0] = static_cast<char>(status);
    event.midiData[1] = static_cast<char>((next.word >> 8) & 0x7F);
    const uint32_t command = status & 0xF0;
    event.midiData[2] = command == kProgramChange || command == kChannelPressure
                            ? static_cast<char>(0xFF)
                            : static_cast<char>((next.word >> 16) & 0x7F);
    list.events[count] = reinterpret_cast<VstEvent*>(&event);
    ++count;
  }
  list.numEvents = count;
  if (count > 0) wrapper_->Dispatch(effProcessEvents, 0, 0, &list);
}

void ug_vst_plugin::RunPlugin(float** inputs, float** outputs, int32_t count) {
  AEffect* effect = wrapper_->Effect();
  VST_Wrapper::CallingScope calling(*wrapper_);
  if (wrapper_->CanReplace() && !replacing_fix_) {
    effect->processReplacing(effect, inputs, outputs, count);
    return;
  }
  for (std::size_t c = 0; c < output_pointers_.size(); ++c) std::fill_n(outputs[c], count, 0.0f);
  if (effect->process != nullptr) effect->process(effect, inputs, outputs, count);
}

void ug_vst_plugin::ProcessDirect(int32_t position, int32_t count) {
  SendEvents(Clock(), count);
  for (std::size_t c = 0; c < input_pointers_.size(); ++c) {
    // The plug-in reads its inputs only; the interface's pointers are not const.
    const float* samples = c < inputs_.size() ? inputs_[c]->Samples() : nullptr;
    input_pointers_[c] =
        samples != nullptr ? const_cast<float*>(samples) + position : silence_.data();
  }
  for (std::size_t c = 0; c < output_pointers_.size(); ++c) {
    output_pointers_[c] = c < outputs_.size() ? outputs_[c]->Data() + position : spare_.data();
  }
  RunPlugin(input_pointers_.data(), output_pointers_.data(), count);
}

void ug_vst_plugin::ProcessAligned(int32_t position, int32_t count) {
  int32_t done = 0;
  while (done < count) {
    const int32_t run = std::min(count - done, kAlignment - staged_);
    for (std::size_t c = 0; c < staged_in_.size(); ++c) {
      float* to = staged_in_[c].data() + staged_;
      const float* samples = c < inputs_.size() ? inputs_[c]->Samples() : nullptr;
      if (samples != nullptr) {
        std::copy_n(samples + position + done, run, to);
      } else {
        std::fill_n(to, run, 0.0f);
      }
    }
    for (std::size_t c = 0; c < outputs_.size() && c < staged_out_.size(); ++c) {
      std::copy_n(staged_out_[c].data() + staged_, run, outputs_[c]->Data() + position + done);
    }
    staged_ += run;
    done += run;
    if (staged_ == kAlignment) {
      // The 32 samples collected began 31 samples ago; what they give is
      // heard from the next sample on, and their events were stamped 32 on.
      const uint32_t collected_from = Clock() + static_cast<uint32_t>(done - kAlignment);
      SendEvents(collected_from + kAlignment, kAlignment);
      RunPlugin(staged_in_pointers_.data(), staged_out_pointers_.data(), kAlignment);
      staged_ = 0;
    }
  }
}

void ug_vst_plugin::ProcessSilent(int32_t position, int32_t count) {
  for (UPlug* output : outputs_) std::fill_n(output->Data() + position, count, 0.0f);
  queue_head_ = 0;
  queue_size_ = 0;
}

void ug_vst_plugin::EventsFromPlugin(const vst2::VstEvents& events) {
  const int32_t count = std::clamp<int32_t>(events.numEvents, 0, static_cast<int32_t>(kEventCapacity));
  for (int32_t i = 0; i < count; ++i) {
    const VstEvent* event = events.events[i];
    if (event == nullptr || event->type != kVstMidiType) continue;
    const auto& midi = *reinterpret_cast<const VstMidiEvent*>(event);
    const uint32_t word = static_cast<uint8_t>(midi.midiData[0]) |
                          (static_cast<uint32_t>(static_cast<uint8_t>(midi.midiData[1])) << 8) |
                          (static_cast<uint32_t>(static_cast<uint8_t>(midi.midiData[2])) << 16);
    SendMidi(*plug(kMidiOut), Clock() + static_cast<uint32_t>(std::max(midi.deltaFrames, 0)), word);
  }
}

}  // namespace ov
