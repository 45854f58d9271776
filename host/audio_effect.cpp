#include "host/audio_effect.h"

#include "host/aeff_editor.h"

namespace ov {

AudioEffect::AudioEffect(vst2::HostCallback host, int32_t num_programs, int32_t num_params)
    : audioMaster(host), numPrograms(num_programs), numParams(num_params) {
  cEffect.magic = vst2::kEffectMagic;
  cEffect.dispatcher = &DispatchTrampoline;
  cEffect.process = &ProcessTrampoline;
  cEffect.setParameter = &SetParameterTrampoline;
  cEffect.getParameter = &GetParameterTrampoline;
  cEffect.numPrograms = num_programs;
  cEffect.numParams = num_params;
  cEffect.numInputs = 1;
  cEffect.numOutputs = 2;
  cEffect.ioRatio = 1.0f;
  cEffect.object = this;
  cEffect.uniqueID = vst2::FourCC('N', 'o', 'E', 'f');
  cEffect.version = 1;
  cEffect.processReplacing = &ProcessReplacingTrampoline;
}

AudioEffect::~AudioEffect() = default;

AudioEffect* AudioEffect::FromAeffect(vst2::AEffect* effect) {
  return effect != nullptr ? static_cast<AudioEffect*>(effect->object) : nullptr;
}

void AudioEffect::setNumPrograms(int32_t count) { numPrograms = cEffect.numPrograms = count; }
void AudioEffect::setNumParams(int32_t count) { numParams = cEffect.numParams = count; }

void AudioEffect::setFlag(int32_t flag, bool on) {
  if (on) {
    cEffect.flags |= flag;
  } else {
    cEffect.flags &= ~flag;
  }
}

// Hosts hand over buffers of the nominal sizes; an empty text keeps them
// terminated when nothing else is written.
void AudioEffect::ReportAutomation(int32_t index, float value) {
  CallHost(vst2::audioMasterAutomate, index, 0, nullptr, value);
}

void AudioEffect::getProgramName(char* name) {
  if (name) *name = '\0';
}
void AudioEffect::getParameterLabel(int32_t, char* label) {
  if (label) *label = '\0';
}
void AudioEffect::getParameterDisplay(int32_t, char* text) {
  if (text) *text = '\0';
}
void AudioEffect::getParameterName(int32_t, char* text) {
  if (text) *text = '\0';
}

intptr_t AudioEffect::CallHost(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                               float opt) {
  return audioMaster ? audioMaster(&cEffect, opcode, index, value, ptr, opt) : 0;
}

intptr_t AudioEffect::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                 float opt) {
  switch (opcode) {
    case vst2::effOpen:
      open();
      return 0;
    case vst2::effClose:
      close();
      return 0;
    case vst2::effSetProgram:
      // Negative numbers would index outside every program table.
      if (value >= 0 && value < numPrograms) setProgram(static_cast<int32_t>(value));
      return 0;
    case vst2::effGetProgram:
      return getProgram();
    case vst2::effSetProgramName:
      if (ptr) setProgramName(static_cast<const char*>(ptr));
      return 0;
    case vst2::effGetProgramName:
      if (ptr) getProgramName(static_cast<char*>(ptr));
      return 0;
    case vst2::effGetParamLabel:
      if (ptr) getParameterLabel(index, static_cast<char*>(ptr));
      return 0;
    case vst2::effGetParamDisplay:
      if (ptr) getParameterDisplay(index, static_cast<char*>(ptr));
      return 0;
    case vst2::effGetParamName:
      if (ptr) getParameterName(index, static_cast<char*>(ptr));
      return 0;
    case vst2::effGetVu:
      return static_cast<intptr_t>(getVu() * 32767.0f);
    case vst2::effSetSampleRate:
      setSampleRate(opt);
      return 0;
    case vst2::effSetBlockSize:
      setBlockSize(static_cast<int32_t>(value));
      return 0;
    case vst2::effMainsChanged:
      if (value == 0) {
        suspend();
      } else {
        resume();
      }
      return 0;
    case vst2::effEditGetRect:
      return editor && editor->getRect(static_cast<vst2::ERect**>(ptr)) ? 1 : 0;
    case vst2::effEditOpen:
      return editor && editor->open(ptr) ? 1 : 0;
    case vst2::effEditClose:
      if (editor) editor->close();
      return 0;
    case vst2::effEditIdle:
      if (editor) editor->idle();
      return 0;
    case vst2::effIdentify:
      return vst2::FourCC('N', 'v', 'E', 'f');
    case vst2::effGetChunk:
      return ptr ? getChunk(static_cast<void**>(ptr), index != 0) : 0;
    case vst2::effSetChunk:
      return setChunk(ptr, static_cast<int32_t>(value), index != 0);
    default:
      return 0;
  }
}

// Nothing thrown inside the plug-in may reach the host, which would end the
// host's process: every trampoline answers "nothing done" instead. The
// guards cost nothing until something throws, so the audio thread's calls
// stay free of allocation.
intptr_t AudioEffect::DispatchTrampoline(vst2::AEffect* e, int32_t opcode, int32_t index,
                                         intptr_t value, void* ptr, float opt) {
  AudioEffect* effect = FromAeffect(e);
  if (effect == nullptr) return 0;
  if (opcode == vst2::effClose) {
    try {
      effect->dispatcher(opcode, index, value, ptr, opt);
    } catch (...) {
    }
    delete effect;
    return 1;
  }
  try {
    return effect->dispatcher(opcode, index, value, ptr, opt);
  } catch (...) {
    return 0;
  }
}

void AudioEffect::ProcessTrampoline(vst2::AEffect* e, float** in, float** out, int32_t frames) {
  try {
    if (AudioEffect* effect = FromAeffect(e)) effect->process(in, out, frames);
  } catch (...) {
  }
}

void AudioEffect::ProcessReplacingTrampoline(vst2::AEffect* e, float** in, float** out,
                                             int32_t frames) {
  try {
    if (AudioEffect* effect = FromAeffect(e)) effect->processReplacing(in, out, frames);
  } catch (...) {
  }
}

void AudioEffect::SetParameterTrampoline(vst2::AEffect* e, int32_t index, float value) {
  try {
    if (AudioEffect* effect = FromAeffect(e)) effect->setParameter(index, value);
  } catch (...) {
  }
}

float AudioEffect::GetParameterTrampoline(vst2::AEffect* e, int32_t index) {
  try {
    AudioEffect* effect = FromAeffect(e);
    return effect ? effect->getParameter(index) : 0.0f;
  } catch (...) {
    return 0.0f;
  }
}

}  // namespace ov
