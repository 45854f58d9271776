// The VST 2.x extensions of AudioEffect: events, pin properties, names,
// capability queries and the host calls that go with them. Defaults answer
// "not supported" (0 or false).
// Threads: as AudioEffect.
#pragma once

#include "host/audio_effect.h"

namespace ov {

class AudioEffectX : public AudioEffect {
 public:
  using AudioEffect::AudioEffect;

  intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                      float opt) override;

  virtual int32_t processEvents(vst2::VstEvents* events) { return (void)events, 0; }
  virtual bool canParameterBeAutomated(int32_t index) { return (void)index, false; }
  virtual bool string2parameter(int32_t index, char* text) { return (void)index, (void)text, false; }
  virtual int32_t getNumCategories() { return 1; }
  virtual bool getProgramNameIndexed(int32_t category, int32_t index, char* text) {
    return (void)category, (void)index, (void)text, false;
  }
  virtual bool copyProgram(int32_t destination) { return (void)destination, false; }
  virtual bool getInputProperties(int32_t index, vst2::VstPinProperties* properties) {
    return (void)index, (void)properties, false;
  }
  virtual bool getOutputProperties(int32_t index, vst2::VstPinProperties* properties) {
    return (void)index, (void)properties, false;
  }
  virtual int32_t getPlugCategory();
  virtual void setBlockSizeAndSampleRate(int32_t block_size, float rate) {
    blockSize = block_size;
    sampleRate = rate;
  }
  virtual bool getEffectName(char* name) { return (void)name, false; }
  virtual bool getVendorString(char* text) { return (void)text, false; }
  virtual bool getProductString(char* text) { return (void)text, false; }
  virtual int32_t getVendorVersion() { return 0; }
  virtual intptr_t vendorSpecific(int32_t index, intptr_t value, void* ptr, float opt) {
    return (void)index, (void)value, (void)ptr, (void)opt, 0;
  }
  virtual int32_t canDo(const char* text) { return (void)text, 0; }
  virtual int32_t getGetTailSize() { return 0; }
  virtual int32_t fxIdle() { return 0; }
  // True when the editor wants the host's keys (the host interface then
  // hears 0, "keys required").
  virtual bool keysRequired() { return false; }
  virtual int32_t getVstVersion() { return 2300; }
  virtual int32_t getCurrentMidiProgram(int32_t channel, void* program) {
    return (void)channel, (void)program, -1;
  }
  virtual int32_t beginSetProgram() { return 0; }
  virtual int32_t endSetProgram() { return 0; }

  // Host calls. Each answers 0 / null / false without a callback.
  const vst2::VstTimeInfo* getTimeInfo(int32_t filter);
  // The host's answer: 4 while it renders offline (faster than real time).
  intptr_t getCurrentProcessLevel();
  bool sendVstEventsToHost(vst2::VstEvents* events);
  void wantEvents();
  bool needIdle();
  // Asks the host to read programs and parameters again.
  bool updateDisplay();
};

}  // namespace ov
