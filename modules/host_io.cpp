#include "modules/host_io.h"

#include <algorithm>
#include <bit>

#include "engine/audio_master.h"
#include "modules/descriptors/plug_tables.h"

namespace ov {
namespace {

// Anything that is not a finite number reaches the host as silence: one bad
// value would otherwise poison the host's mix bus and everything after it.
constexpr uint32_t kExponent = 0x7F800000u;

float Finite(float sample) {
  return (std::bit_cast<uint32_t>(sample) & kExponent) == kExponent ? 0.0f : sample;
}

// Finite() over `count` samples, four at a time as bit patterns (the host's
// buffer is not aligned to anything), into `host` or added to it.
typedef uint32_t Bits4 __attribute__((vector_size(16)));
typedef float Floats4 __attribute__((vector_size(16)));

template <bool kAdd>
void WriteFinite(float* host, const float* block, int32_t count) {
  int32_t s = 0;
  for (; s + 4 <= count; s += 4) {
    Bits4 bits;
    __builtin_memcpy(&bits, block + s, sizeof bits);
    bits &= std::bit_cast<Bits4>((bits & kExponent) != kExponent);  // ones where finite
    Floats4 value;
    __builtin_memcpy(&value, &bits, sizeof value);
    if constexpr (kAdd) {
      Floats4 sum;
      __builtin_memcpy(&sum, host + s, sizeof sum);
      value = sum + value;
    }
    __builtin_memcpy(host + s, &value, sizeof value);
  }
  for (; s < count; ++s) {
    if constexpr (kAdd) {
      host[s] += Finite(block[s]);
    } else {
      host[s] = Finite(block[s]);
    }
  }
}

// `count` copies of Finite(value): a silent one by memset, any other four
// at a time.
void FillFinite(float* host, float value, int32_t count) {
  const float finite = Finite(value);
  if (std::bit_cast<uint32_t>(finite) == 0) {
    __builtin_memset(host, 0, sizeof(float) * static_cast<std::size_t>(count));
    return;
  }
  const Floats4 four = {finite, finite, finite, finite};
  int32_t s = 0;
  for (; s + 4 <= count; s += 4) __builtin_memcpy(host + s, &four, sizeof four);
  for (; s < count; ++s) host[s] = finite;
}

std::vector<UPlug*> AudioPlugs(const ug_base& generator) {
  std::vector<UPlug*> audio;
  for (int32_t i = 0; i < generator.PlugCount(); ++i) {
    if (generator.plug(i)->IsAudio()) audio.push_back(generator.plug(i));
  }
  return audio;
}

}  // namespace

ug_vst_in::ug_vst_in() { SetProcessFunction(&ug_vst_in::Copy); }

std::unique_ptr<ug_base> ug_vst_in::CreateInstance() const { return std::make_unique<ug_vst_in>(); }

void ug_vst_in::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kVstInPlugs, descriptors);
}

void ug_vst_in::Open() {
  audio_ = AudioPlugs(*this);
  host_inputs_.assign(audio_.size(), nullptr);
  Master()->Host().SetHostInputPort(this);
  ug_base::Open();
  for (UPlug* output : audio_) output->Transmit(Clock(), ST_RUN);
}

void ug_vst_in::Close() {
  Master()->Host().SetHostInputPort(nullptr);
  ug_base::Close();
}

void ug_vst_in::SetHostInputs(float* const* inputs, int32_t count) {
  for (size_t i = 0; i < host_inputs_.size(); ++i) {
    host_inputs_[i] = inputs != nullptr && static_cast<int32_t>(i) < count ? inputs[i] : nullptr;
  }
}

void ug_vst_in::DeliverHostMidi(uint32_t time, uint32_t word) {
  SendMidi(*plug(kMidiOutPlug), time, word);
}

void ug_vst_in::Copy(int32_t position, int32_t count) {
  for (size_t i = 0; i < audio_.size(); ++i) {
    float* block = audio_[i]->Data() + position;
    if (host_inputs_[i] == nullptr) {
      std::fill_n(block, count, 0.0f);
      continue;
    }
    std::copy_n(host_inputs_[i], count, block);
    host_inputs_[i] += count;
  }
}

ug_midi_device::ug_midi_device(int32_t midi_in_plug, int32_t channel_plug)
    : midi_in_plug_(midi_in_plug), channel_plug_(channel_plug) {
  SetProcessFunction(&ug_midi_device::SleepWhenIdle);
}

void ug_midi_device::Open() {
  SetProcessFunction(&ug_midi_device::SleepWhenIdle);
  SetChannelFilter();
  ug_base::Open();
}

void ug_midi_device::SetChannelFilter() {
  if (channel_plug_ == kNoChannelPlug || PlugCount() <= std::max(midi_in_plug_, channel_plug_)) {
    return;
  }
  plug(midi_in_plug_)->SetChannelFilter(channel_);
}

void ug_midi_device::OnStatusChange(uint32_t time, connector* link, int32_t state) {
  if (channel_plug_ != kNoChannelPlug && link != nullptr && PlugCount() > channel_plug_ &&
      link->Destination() == plug(channel_plug_)) {
    SetChannelFilter();
  }
  ug_base::OnStatusChange(time, link, state);
}

void ug_midi_device::HandleEvent(ug_event& event) {
  if (event.kind == UET_MIDI) {
    OnMidi(event.time_stamp, static_cast<uint32_t>(event.parm1));
    return;
  }
  ug_base::HandleEvent(event);
}

ug_vst_out::ug_vst_out() : ug_midi_device(0, kNoChannelPlug) {
  SetFlags(Flags() | UGF_STOPS_MARKING);
  SetProcessFunction(&ug_vst_out::ChooseWriting);
}

std::unique_ptr<ug_base> ug_vst_out::CreateInstance() const {
  return std::make_unique<ug_vst_out>();
}

void ug_vst_out::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kVstOutPlugs, descriptors);
}

void ug_vst_out::Open() {
  audio_ = AudioPlugs(*this);
  host_outputs_.assign(audio_.size(), nullptr);
  Master()->Host().SetHostOutputPort(this);
  ug_midi_device::Open();
  SetProcessFunction(&ug_vst_out::ChooseWriting);
}

void ug_vst_out::Close() {
  Master()->Host().SetHostOutputPort(nullptr);
  ug_base::Close();
}

void ug_vst_out::SetHostOutputs(float* const* outputs, int32_t count) {
  for (size_t i = 0; i < host_outputs_.size(); ++i) {
    host_outputs_[i] = outputs != nullptr && static_cast<int32_t>(i) < count ? outputs[i] : nullptr;
  }
}

void ug_vst_out::ChooseWriting(int32_t position, int32_t count) {
  if (Master()->Host().HostReplaces()) {
    SetProcessFunction(&ug_vst_out::Replace);
    Replace(position, count);
  } else {
    SetProcessFunction(&ug_vst_out::Accumulate);
    Accumulate(position, count);
  }
}

void ug_vst_out::Replace(int32_t position, int32_t count) {
  for (size_t i = 0; i < audio_.size(); ++i) {
    float*& host = host_outputs_[i];
    if (host == nullptr) continue;
    const float* block = audio_[i]->Data();
    if (block == nullptr) {
      std::fill_n(host, count, 0.0f);
    } else if (audio_[i]->State() != ST_RUN) {
      // A still input holds one value from the slice start: a fill, not a
      // copy that tests every sample (an idle engine's whole cost here).
      FillFinite(host, block[position], count);
    } else {
      WriteFinite<false>(host, block + position, count);
    }
    host += count;
  }
}

void ug_vst_out::Accumulate(int32_t position, int32_t count) {
  for (size_t i = 0; i < audio_.size(); ++i) {
    float*& host = host_outputs_[i];
    if (host == nullptr) continue;
    if (const float* block = audio_[i]->Data()) {
      WriteFinite<true>(host, block + position, count);
    }
    host += count;
  }
}

}  // namespace ov
