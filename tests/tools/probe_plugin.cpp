// A VST 2 plug-in that shows the host tests what the host did: output 0
// repeats input 0, output 1 carries the sample position the host reported for
// each frame, and every MIDI event received is sent straight back to the host
// at the same offset within the block.
#include <cstring>
#include <vector>

#include "platform/vst2.h"

namespace {

struct Probe {
  vst2::AEffect effect{};
  vst2::HostCallback host = nullptr;
  std::vector<vst2::VstMidiEvent> received;
};

Probe* ProbeOf(vst2::AEffect* effect) { return static_cast<Probe*>(effect->object); }

intptr_t Dispatch(vst2::AEffect* effect, int32_t opcode, int32_t, intptr_t, void* ptr, float) {
  Probe* probe = ProbeOf(effect);
  switch (opcode) {
    case vst2::effClose:
      delete probe;
      return 1;
    case vst2::effGetEffectName:
      std::strcpy(static_cast<char*>(ptr), "Orvane probe");
      return 1;
    case vst2::effProcessEvents: {
      const auto* events = static_cast<const vst2::VstEvents*>(ptr);
      const vst2::VstEvent* const* list = events->events;
      for (int32_t i = 0; i < events->numEvents; ++i) {
        probe->received.push_back(*reinterpret_cast<const vst2::VstMidiEvent*>(list[i]));
      }
      return 1;
    }
    case vst2::effCanDo:
      return std::strcmp(static_cast<const char*>(ptr), "receiveVstMidiEvent") == 0 ||
                     std::strcmp(static_cast<const char*>(ptr), "sendVstMidiEvent") == 0
                 ? 1
                 : -1;
    default:
      return 0;
  }
}

void ProcessReplacing(vst2::AEffect* effect, float** inputs, float** outputs, int32_t frames) {
  Probe* probe = ProbeOf(effect);
  const auto* time = reinterpret_cast<const vst2::VstTimeInfo*>(
      probe->host(effect, vst2::audioMasterGetTime, 0, 0, nullptr, 0));
  for (int32_t i = 0; i < frames; ++i) {
    outputs[0][i] = inputs[0][i];
    outputs[1][i] = time != nullptr ? static_cast<float>(time->samplePos + i) : -1.0f;
  }
  std::vector<intptr_t> record(2 + probe->received.size() + 2);
  auto* events = reinterpret_cast<vst2::VstEvents*>(record.data());
  events->numEvents = static_cast<int32_t>(probe->received.size());
  vst2::VstEvent** list = events->events;
  for (std::size_t i = 0; i < probe->received.size(); ++i) {
    list[i] = reinterpret_cast<vst2::VstEvent*>(&probe->received[i]);
  }
  if (!probe->received.empty()) {
    probe->host(effect, vst2::audioMasterProcessEvents, 0, 0, events, 0);
  }
  probe->received.clear();
}

}  // namespace

extern "C" __attribute__((visibility("default"))) vst2::AEffect* VSTPluginMain(
    vst2::HostCallback host) {
  auto* probe = new Probe;
  probe->host = host;
  vst2::AEffect& effect = probe->effect;
  effect.magic = vst2::kEffectMagic;
  effect.dispatcher = &Dispatch;
  effect.processReplacing = &ProcessReplacing;
  effect.numInputs = 1;
  effect.numOutputs = 2;
  effect.flags = vst2::effFlagsCanReplacing;
  effect.uniqueID = vst2::FourCC('O', 'v', 'P', 'r');
  effect.object = probe;
  return &effect;
}
