#include "host/audio_effectx.h"

#include "host/aeff_editor.h"

namespace ov {

int32_t AudioEffectX::getPlugCategory() {
  return (cEffect.flags & vst2::effFlagsIsSynth) ? vst2::kPlugCategSynth : vst2::kPlugCategUnknown;
}

intptr_t AudioEffectX::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                  float opt) {
  switch (opcode) {
    case vst2::effProcessEvents:
      return processEvents(static_cast<vst2::VstEvents*>(ptr));
    case vst2::effCanBeAutomated:
      return canParameterBeAutomated(index) ? 1 : 0;
    case vst2::effString2Parameter:
      return string2parameter(index, static_cast<char*>(ptr)) ? 1 : 0;
    case vst2::effGetNumProgramCategories:
      return getNumCategories();
    case vst2::effGetProgramNameIndexed:
      return ptr && getProgramNameIndexed(static_cast<int32_t>(value), index,
                                          static_cast<char*>(ptr))
                 ? 1
                 : 0;
    case vst2::effCopyProgram:
      return copyProgram(index) ? 1 : 0;
    case vst2::effConnectInput:
    case vst2::effConnectOutput:
      return 1;
    case vst2::effGetInputProperties:
      return ptr && getInputProperties(index, static_cast<vst2::VstPinProperties*>(ptr)) ? 1 : 0;
    case vst2::effGetOutputProperties:
      return ptr && getOutputProperties(index, static_cast<vst2::VstPinProperties*>(ptr)) ? 1 : 0;
    case vst2::effGetPlugCategory:
      return getPlugCategory();
    case vst2::effSetBlockSizeAndSampleRate:
      setBlockSizeAndSampleRate(static_cast<int32_t>(value), opt);
      return 1;
    case vst2::effGetEffectName:
      return ptr && getEffectName(static_cast<char*>(ptr)) ? 1 : 0;
    case vst2::effGetVendorString:
      return ptr && getVendorString(static_cast<char*>(ptr)) ? 1 : 0;
    case vst2::effGetProductString:
      return ptr && getProductString(static_cast<char*>(ptr)) ? 1 : 0;
    case vst2::effGetVendorVersion:
      return getVendorVersion();
    case vst2::effVendorSpecific:
      return vendorSpecific(index, value, ptr, opt);
    case vst2::effCanDo:
      return ptr ? canDo(static_cast<const char*>(ptr)) : 0;
    case vst2::effGetTailSize:
      return getGetTailSize();
    case vst2::effIdle:
      return fxIdle();
    case vst2::effKeysRequired:
      return keysRequired() ? 0 : 1;
    case vst2::effGetVstVersion:
      return getVstVersion();
    case vst2::effEditKeyDown:
      return editor ? editor->onKeyDown(index, static_cast<int32_t>(value), static_cast<int32_t>(opt))
                    : 0;
    case vst2::effEditKeyUp:
      return editor ? editor->onKeyUp(index, static_cast<int32_t>(value), static_cast<int32_t>(opt))
                    : 0;
    case vst2::effSetEditKnobMode:
      return editor && editor->setKnobMode(static_cast<int32_t>(value)) ? 1 : 0;
    case vst2::effGetCurrentMidiProgram:
      return getCurrentMidiProgram(index, ptr);
    case vst2::effBeginSetProgram:
      return beginSetProgram();
    case vst2::effEndSetProgram:
      return endSetProgram();
    default:
      return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
  }
}

const vst2::VstTimeInfo* AudioEffectX::getTimeInfo(int32_t filter) {
  return reinterpret_cast<const vst2::VstTimeInfo*>(CallHost(vst2::audioMasterGetTime, 0, filter));
}

intptr_t AudioEffectX::getCurrentProcessLevel() {
  return CallHost(vst2::audioMasterGetCurrentProcessLevel);
}

bool AudioEffectX::sendVstEventsToHost(vst2::VstEvents* events) {
  return CallHost(vst2::audioMasterProcessEvents, 0, 0, events) == 1;
}

void AudioEffectX::wantEvents() { CallHost(vst2::audioMasterWantMidi, 0, 1); }

bool AudioEffectX::needIdle() { return CallHost(vst2::audioMasterNeedIdle) != 0; }

bool AudioEffectX::updateDisplay() { return CallHost(vst2::audioMasterUpdateDisplay) != 0; }

}  // namespace ov
