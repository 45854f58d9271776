// A VST 2 plug-in with what Debian's lack, for the hosting tests: four
// programs (names through effGetProgramNameIndexed when built with
// OV_INDEXED_NAMES, else only by selecting each), 40 parameters whose names
// include "invalid index", empty names and UTF-8 names, a processReplacing
// that adds to its outputs instead of replacing them (output = input x
// "Gain"), every note it receives sent back to the host, one semitone up,
// while it processes, and an editor that draws nothing, is 300 x 200 pixels
// until it opens and 320 x 220 once open (as plug-ins that learn their size
// late), and tells (effVendorSpecific 'Edit') which window it was opened in.
#include <cstring>
#include <string>
#include <vector>

#include "platform/vst2.h"

namespace {

constexpr int32_t kPrograms = 4;
constexpr int32_t kParameters = 40;

struct Program {
  char name[32];
  float values[kParameters];
};

struct TestPlugin {
  vst2::AEffect effect{};
  vst2::HostCallback host = nullptr;
  Program programs[kPrograms]{};
  int32_t current = 0;
  std::vector<vst2::VstMidiEvent> received;
  std::vector<vst2::VstMidiEvent> sent;
  vst2::ERect editor_rect{0, 0, 200, 300};
  intptr_t editor_window = 0;  // 0: closed
};

TestPlugin* Of(vst2::AEffect* effect) { return static_cast<TestPlugin*>(effect->object); }

const char* ParameterName(int32_t index) {
  switch (index) {
    case 0:
      return "Gain";
    case 1:
      return "invalid index";
    case 20:
    case 35:
      return "";
    case 36:
      return "Grüne Höhe übrigÖl";  // 20 bytes end inside "Ö"
    case 37:
      return "Éclat";
    default:
      return "Param";
  }
}

void Copy(void* to, const std::string& text) { std::strcpy(static_cast<char*>(to), text.c_str()); }

intptr_t Dispatch(vst2::AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                  float) {
  TestPlugin* plugin = Of(effect);
  switch (opcode) {
    case vst2::effClose:
      delete plugin;
      return 1;
    case vst2::effSetProgram:
      if (value >= 0 && value < kPrograms) plugin->current = static_cast<int32_t>(value);
      return 0;
    case vst2::effGetProgram:
      return plugin->current;
    case vst2::effSetProgramName:
      std::strncpy(plugin->programs[plugin->current].name, static_cast<const char*>(ptr), 23);
      return 0;
    case vst2::effGetProgramName:
      Copy(ptr, plugin->programs[plugin->current].name);
      return 0;
#ifdef OV_INDEXED_NAMES
    case vst2::effGetProgramNameIndexed:
      if (index < 0 || index >= kPrograms) return 0;
      Copy(ptr, plugin->programs[index].name);
      return 1;
#endif
    case vst2::effGetParamName:
      Copy(ptr, ParameterName(index));
      return 0;
    case vst2::effGetParamDisplay:
      Copy(ptr, std::to_string(static_cast<int>(plugin->programs[plugin->current].values[index] * 100)));
      return 0;
    case vst2::effGetParamLabel:
      Copy(ptr, "%");
      return 0;
    case vst2::effCanBeAutomated:
      return index == 0 ? 1 : 0;
    case vst2::effGetEffectName:
      Copy(ptr, "Orvane test plug-in");
      return 1;
    case vst2::effGetVstVersion:
      return 2400;
    case vst2::effProcessEvents: {
      const auto* events = static_cast<const vst2::VstEvents*>(ptr);
      for (int32_t i = 0; i < events->numEvents; ++i) {
        plugin->received.push_back(*reinterpret_cast<const vst2::VstMidiEvent*>(events->events[i]));
      }
      return 1;
    }
    case vst2::effEditGetRect:
      *static_cast<vst2::ERect**>(ptr) = &plugin->editor_rect;
      return 1;
    case vst2::effEditOpen:
      plugin->editor_window = reinterpret_cast<intptr_t>(ptr);
      plugin->editor_rect = {0, 0, 220, 320};
      return 1;
    case vst2::effEditClose:
      plugin->editor_window = 0;
      return 0;
    case vst2::effVendorSpecific:
      return index == vst2::FourCC('E', 'd', 'i', 't') ? plugin->editor_window : 0;
    case vst2::effCanDo:
      return std::strcmp(static_cast<const char*>(ptr), "sendVstMidiEvent") == 0 ||
                     std::strcmp(static_cast<const char*>(ptr), "receiveVstMidiEvent") == 0
                 ? 1
                 : -1;
    default:
      return 0;
  }
}

void SetParameter(vst2::AEffect* effect, int32_t index, float value) {
  TestPlugin* plugin = Of(effect);
  if (index >= 0 && index < kParameters) plugin->programs[plugin->current].values[index] = value;
}

float GetParameter(vst2::AEffect* effect, int32_t index) {
  TestPlugin* plugin = Of(effect);
  return index >= 0 && index < kParameters ? plugin->programs[plugin->current].values[index] : 0.0f;
}

void SendReceived(TestPlugin* plugin) {
  if (plugin->received.empty()) return;
  plugin->sent = plugin->received;
  plugin->received.clear();
  std::vector<intptr_t> record(2 + plugin->sent.size() + 2);
  auto* events = reinterpret_cast<vst2::VstEvents*>(record.data());
  events->numEvents = static_cast<int32_t>(plugin->sent.size());
  for (std::size_t i = 0; i < plugin->sent.size(); ++i) {
    vst2::VstMidiEvent& event = plugin->sent[i];
    const int status = static_cast<unsigned char>(event.midiData[0]) & 0xF0;
    if (status == 0x90 || status == 0x80) ++event.midiData[1];
    events->events[i] = reinterpret_cast<vst2::VstEvent*>(&event);
  }
  plugin->host(&plugin->effect, vst2::audioMasterProcessEvents, 0, 0, events, 0);
}

// Adds to what the outputs hold: the fault hosts work around by zeroing
// them and calling process instead.
void Accumulate(vst2::AEffect* effect, float** inputs, float** outputs, int32_t frames) {
  TestPlugin* plugin = Of(effect);
  const float gain = plugin->programs[plugin->current].values[0];
  for (int32_t i = 0; i < frames; ++i) outputs[0][i] += inputs[0][i] * gain;
  SendReceived(plugin);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) vst2::AEffect* VSTPluginMain(
    vst2::HostCallback host) {
  auto* plugin = new TestPlugin;
  plugin->host = host;
  const char* names[kPrograms] = {"Lead", "Bass, deep=1", "Pad", ""};
  for (int32_t p = 0; p < kPrograms; ++p) {
    std::strcpy(plugin->programs[p].name, names[p]);
    for (int32_t i = 0; i < kParameters; ++i) plugin->programs[p].values[i] = 0.1f * static_cast<float>(p + 1);
  }
  vst2::AEffect& effect = plugin->effect;
  effect.magic = vst2::kEffectMagic;
  effect.dispatcher = &Dispatch;
  effect.process = &Accumulate;
  effect.processReplacing = &Accumulate;
  effect.setParameter = &SetParameter;
  effect.getParameter = &GetParameter;
  effect.numPrograms = kPrograms;
  effect.numParams = kParameters;
  effect.numInputs = 1;
  effect.numOutputs = 1;
  effect.flags = vst2::effFlagsCanReplacing | vst2::effFlagsHasEditor;
  effect.uniqueID = vst2::FourCC('O', 'v', 'T', 'p');
  effect.version = 3;
  effect.object = plugin;
  return &effect;
}
