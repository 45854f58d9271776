// A VST 2 effect with the faults `orvane validate` looks for, each where one
// check finds it: it crashes at 192 kHz, writes one sample past a 97-frame
// block, keeps NaN input in its state, leaks denormals into its output,
// reads parameters back doubled, writes a 40-byte parameter display and
// saves a different chunk every time.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/vst2.h"

namespace {

struct Faulty {
  vst2::AEffect effect{};
  float sample_rate = 44100;
  float parameter = 0;
  float state = 0;
  int chunks_given = 0;
  char chunk[16] = {};
};

Faulty* FaultyOf(vst2::AEffect* effect) { return static_cast<Faulty*>(effect->object); }

intptr_t Dispatch(vst2::AEffect* effect, int32_t opcode, int32_t, intptr_t, void* ptr, float opt) {
  Faulty* faulty = FaultyOf(effect);
  switch (opcode) {
    case vst2::effClose:
      delete faulty;
      return 1;
    case vst2::effSetSampleRate:
      faulty->sample_rate = opt;
      return 0;
    case vst2::effGetParamDisplay:
      std::strcpy(static_cast<char*>(ptr), "a display text far beyond any buffer");
      return 0;
    case vst2::effGetChunk:
      std::snprintf(faulty->chunk, sizeof faulty->chunk, "state %d", faulty->chunks_given++);
      *static_cast<void**>(ptr) = faulty->chunk;
      return sizeof faulty->chunk;
    case vst2::effSetChunk:
      return 0;
    default:
      return 0;
  }
}

void ProcessReplacing(vst2::AEffect* effect, float** inputs, float** outputs, int32_t frames) {
  Faulty* faulty = FaultyOf(effect);
  if (faulty->sample_rate > 100000) std::abort();
  const int32_t written = frames == 97 ? frames + 1 : frames;
  for (int32_t i = 0; i < written; ++i) {
    faulty->state = 0.5f * faulty->state + 0.5f * inputs[0][i];
    outputs[0][i] = faulty->state + 1e-40f;
  }
}

void SetParameter(vst2::AEffect* effect, int32_t, float value) { FaultyOf(effect)->parameter = value; }

float GetParameter(vst2::AEffect* effect, int32_t) { return 2 * FaultyOf(effect)->parameter; }

}  // namespace

extern "C" __attribute__((visibility("default"))) vst2::AEffect* VSTPluginMain(vst2::HostCallback) {
  auto* faulty = new Faulty;
  vst2::AEffect& effect = faulty->effect;
  effect.magic = vst2::kEffectMagic;
  effect.dispatcher = &Dispatch;
  effect.processReplacing = &ProcessReplacing;
  effect.setParameter = &SetParameter;
  effect.getParameter = &GetParameter;
  effect.numInputs = 1;
  effect.numOutputs = 1;
  effect.numParams = 1;
  effect.numPrograms = 1;
  effect.flags = vst2::effFlagsCanReplacing | vst2::effFlagsProgramChunks;
  effect.uniqueID = vst2::FourCC('O', 'v', 'F', 'y');
  effect.object = faulty;
  return &effect;
}
